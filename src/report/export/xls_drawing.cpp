#include "report/export/xls_drawing.h"

#include "report/export/binary.h"
#include "report/export/xls_records.h"

#include <QCryptographicHash>
#include <algorithm>
#include <map>

namespace Xls {

namespace {

constexpr quint16 MsoDrawingGroup = 0x00EB, MsoDrawing = 0x00EC, Obj = 0x005D;

// The header of an office drawing record: version and instance, type, length of what follows.
QByteArray header(quint16 version, quint16 instance, quint16 type, quint32 length)
{
    QByteArray b;
    put16(b, quint32(version | instance << 4));
    put16(b, type);
    put32(b, length);
    return b;
}

QByteArray container(quint16 type, const QByteArray& body, quint16 instance = 0)
{
    return header(0xF, instance, type, quint32(body.size())) + body;
}

// The records of a drawing longer than one record: the rest goes on in continuation records.
void chunked(QByteArray& out, quint16 id, const QByteArray& data)
{
    record(out, id, data.left(maxRecord));
    for (qsizetype at = maxRecord; at < data.size(); at += maxRecord)
        record(out, Continue, data.mid(at, maxRecord));
}

QByteArray blip(const QByteArray& bytes, bool jpeg, const QByteArray& uid)
{
    QByteArray body = uid;
    put8(body, 0xFF);
    body += bytes;
    return header(0, jpeg ? 0x46A : 0x6E0, jpeg ? 0xF01D : 0xF01E, quint32(body.size())) + body;
}

} // namespace

int Drawings::addImage(const QByteArray& bytes, const QByteArray& format)
{
    m_images.push_back(Image{bytes, format == "jpeg"});
    return int(m_images.size()) - 1;
}

void Drawings::picture(int sheet, int image, const CellAnchor& anchor)
{
    m_shapes.push_back(Shape{sheet, image, anchor});
}

QByteArray Drawings::groupRecords() const
{
    if (m_images.empty())
        return QByteArray();
    std::map<int, int> shapesPerSheet;
    for (const Shape& s : m_shapes)
        ++shapesPerSheet[s.sheet];
    // Drawing n numbers its shapes from n * 1024: the group shape, then one per picture.
    QByteArray dgg;
    const int drawings = int(shapesPerSheet.size());
    int last = 0, saved = 0;
    QByteArray clusters;
    int n = 1;
    for (const auto& [sheet, count] : shapesPerSheet) {
        put32(clusters, quint32(n));
        put32(clusters, quint32(count + 2));
        last = n * 1024 + count + 1;
        saved += count + 1;
        ++n;
    }
    put32(dgg, quint32(last + 1));
    put32(dgg, quint32(drawings + 1));
    put32(dgg, quint32(saved));
    put32(dgg, quint32(drawings));
    dgg += clusters;
    QByteArray store;
    for (const Image& image : m_images) {
        const QByteArray uid = QCryptographicHash::hash(image.bytes, QCryptographicHash::Md5);
        const QByteArray embedded = blip(image.bytes, image.jpeg, uid);
        QByteArray bse;
        put8(bse, image.jpeg ? 5 : 6);
        put8(bse, image.jpeg ? 5 : 6);
        bse += uid;
        put16(bse, 0xFF);
        put32(bse, quint32(embedded.size()));
        put32(bse, quint32(std::count_if(m_shapes.begin(), m_shapes.end(), [&](const Shape& s) { return &m_images[size_t(s.image)] == &image; })));
        put32(bse, 0);
        put8(bse, 0);
        put8(bse, 0);
        put8(bse, 0);
        put8(bse, 0);
        bse += embedded;
        store += header(2, image.jpeg ? 5 : 6, 0xF007, quint32(bse.size())) + bse;
    }
    const QByteArray body = header(0, 0, 0xF006, quint32(dgg.size())) + dgg + container(0xF001, store, quint16(m_images.size()));
    QByteArray out;
    chunked(out, MsoDrawingGroup, container(0xF000, body));
    return out;
}

QByteArray Drawings::sheetRecords(int sheet) const
{
    std::vector<const Shape*> shapes;
    for (const Shape& s : m_shapes)
        if (s.sheet == sheet)
            shapes.push_back(&s);
    if (shapes.empty())
        return QByteArray();
    int drawing = 1;
    for (const Shape& s : m_shapes) {
        if (s.sheet == sheet)
            break;
        if (&s == &m_shapes.front() || s.sheet != (&s - 1)->sheet)
            ++drawing;
    }
    const quint32 base = quint32(drawing * 1024);

    // Each picture: a shape of the picture-frame kind showing its image from the store.
    std::vector<QByteArray> pictures;
    for (size_t i = 0; i < shapes.size(); ++i) {
        QByteArray fsp;
        put32(fsp, base + quint32(i) + 1);
        put32(fsp, 0x0A00); // has an anchor, has a shape type
        QByteArray opt;
        put16(opt, 0x4104); // the image, by its number in the store
        put32(opt, quint32(shapes[i]->image + 1));
        put16(opt, 0x01BF); // no fill behind the picture
        put32(opt, 0x00100000);
        QByteArray anchor;
        const CellAnchor& a = shapes[i]->anchor;
        put16(anchor, 0x0002); // moves with its cells, keeps its size
        for (quint16 v : {a.column1, a.dx1, a.row1, a.dy1, a.column2, a.dx2, a.row2, a.dy2})
            put16(anchor, v);
        const QByteArray body = header(2, 75, 0xF00A, quint32(fsp.size())) + fsp + header(3, 2, 0xF00B, quint32(opt.size())) + opt
                                + header(0, 0, 0xF010, quint32(anchor.size())) + anchor + header(0, 0, 0xF011, 0);
        pictures.push_back(container(0xF004, body));
    }
    QByteArray group;
    {
        QByteArray fspgr(16, '\0');
        QByteArray fsp;
        put32(fsp, base);
        put32(fsp, 0x0005); // the group of all the sheet's shapes
        group = container(0xF004, header(1, 0, 0xF009, 16) + fspgr + header(2, 0, 0xF00A, quint32(fsp.size())) + fsp);
    }
    qsizetype shapesSize = group.size();
    for (const QByteArray& p : pictures)
        shapesSize += p.size();
    QByteArray fdg;
    put32(fdg, quint32(shapes.size() + 1));
    put32(fdg, base + quint32(shapes.size()));
    const QByteArray groupHeader = header(0xF, 0, 0xF003, quint32(shapesSize));
    const QByteArray dgHeader = header(0xF, 0, 0xF002, quint32(8 + fdg.size() + groupHeader.size() + shapesSize));
    const QByteArray dgStart = dgHeader + header(0, quint16(drawing), 0xF008, quint32(fdg.size())) + fdg + groupHeader + group;

    // The drawing's containers span every picture's record; each picture's shape is followed
    // by the object record that makes it a picture of the sheet.
    QByteArray out;
    for (size_t i = 0; i < pictures.size(); ++i) {
        chunked(out, MsoDrawing, i == 0 ? dgStart + pictures[i] : pictures[i]);
        QByteArray obj;
        put16(obj, 0x0015); // common object data
        put16(obj, 18);
        put16(obj, 8); // a picture
        put16(obj, quint32(i + 1));
        put16(obj, 0x6011); // locked, printed, shown
        obj += QByteArray(12, '\0');
        put16(obj, 0x0007); // clipboard format
        put16(obj, 2);
        put16(obj, 0xFFFF);
        put16(obj, 0x0008); // picture options
        put16(obj, 2);
        put16(obj, 0x0000);
        put32(obj, 0); // end
        record(out, Obj, obj);
    }
    return out;
}

} // namespace Xls
