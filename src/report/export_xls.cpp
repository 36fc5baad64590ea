#include "report/export_xls.h"

#include "platform/errors.h"

#include "report/export_cfb.h"
#include "report/export_output.h"
#include "report/export_table.h"
#include "report/page_document.h"
#include "report/report_texts.h"

#include <QHash>
#include <QLocale>
#include <QTemporaryFile>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr int maxSheetRows = 65536;
constexpr int maxColumns = 256;
constexpr qsizetype maxRecord = 8224;  // record data beyond this goes on in CONTINUE records
constexpr int maxText = 32767;
constexpr int maxBreaks = 1026;
constexpr quint16 defaultCellXf = 15; // the 15 style records come first
constexpr quint16 firstCustomFormat = 164;

enum Record : quint16 {
    Bof = 0x0809, Eof = 0x000A, Codepage = 0x0042, Window1 = 0x003D, DateMode = 0x0022, Font = 0x0031, Format = 0x041E,
    Xf = 0x00E0, Style = 0x0293, Palette = 0x0092, BoundSheet = 0x0085, Sst = 0x00FC, Continue = 0x003C, ExtSst = 0x00FF,
    Dimensions = 0x0200, ColInfo = 0x007D, Row = 0x0208, Number = 0x0203, LabelSst = 0x00FD, Blank = 0x0201,
    MergedCells = 0x00E5, Window2 = 0x023E, HorizontalBreaks = 0x001B, WsBool = 0x0081, LeftMargin = 0x0026, RightMargin = 0x0027,
    TopMargin = 0x0028, BottomMargin = 0x0029, Setup = 0x00A1,
};

void put8(QByteArray& b, quint32 v)
{
    b += char(v & 0xff);
}

void put16(QByteArray& b, quint32 v)
{
    b += char(v & 0xff);
    b += char((v >> 8) & 0xff);
}

void put32(QByteArray& b, quint32 v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

void putDouble(QByteArray& b, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(b, quint32(bits));
    put32(b, quint32(bits >> 32));
}

void record(QByteArray& out, quint16 id, const QByteArray& data)
{
    put16(out, id);
    put16(out, quint32(data.size()));
    out += data;
}

bool needsWide(QStringView s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() > 0xff; });
}

void putChars(QByteArray& b, QStringView s, bool wide)
{
    for (const QChar c : s)
        wide ? put16(b, c.unicode()) : put8(b, c.unicode());
}

// A string with its length in one byte (names) or two (formats).
QByteArray unicodeString(QStringView s, bool shortLength)
{
    QByteArray b;
    const bool wide = needsWide(s);
    shortLength ? put8(b, quint32(s.size())) : put16(b, quint32(s.size()));
    put8(b, wide ? 1 : 0);
    putChars(b, s, wide);
    return b;
}

// Border line kinds by pen width in millimetres: thin, medium, thick.
quint32 borderKind(double width)
{
    return width <= 0 ? 0 : width <= 0.4 ? 1 : width <= 0.9 ? 2 : 5;
}

// The older format's colours are a palette of 56 entries; the report's colours fill it in the
// order they appear, and any beyond take the nearest entry.
class ColourPalette {
public:
    ColourPalette() : m_colours{qRgb(0, 0, 0), qRgb(255, 255, 255)} {}

    quint16 index(const QColor& colour)
    {
        const QRgb rgb = colour.rgb() & 0xffffff;
        for (size_t i = 0; i < m_colours.size(); ++i)
            if ((m_colours[i] & 0xffffff) == rgb)
                return quint16(8 + i);
        if (m_colours.size() < 56) {
            m_colours.push_back(rgb);
            return quint16(8 + m_colours.size() - 1);
        }
        size_t best = 0;
        int distance = INT_MAX;
        for (size_t i = 0; i < m_colours.size(); ++i) {
            const int d = std::abs(qRed(m_colours[i]) - qRed(rgb)) + std::abs(qGreen(m_colours[i]) - qGreen(rgb))
                          + std::abs(qBlue(m_colours[i]) - qBlue(rgb));
            if (d < distance) {
                distance = d;
                best = i;
            }
        }
        return quint16(8 + best);
    }

    QByteArray record() const
    {
        QByteArray b;
        put16(b, 56);
        for (int i = 0; i < 56; ++i) {
            const QRgb c = size_t(i) < m_colours.size() ? m_colours[size_t(i)] : qRgb(192, 192, 192);
            put8(b, quint32(qRed(c)));
            put8(b, quint32(qGreen(c)));
            put8(b, quint32(qBlue(c)));
            put8(b, 0);
        }
        return b;
    }

private:
    std::vector<QRgb> m_colours;
};

// A date and time pattern of the report as the spreadsheet's format code.
QString dateCode(const QString& format)
{
    const qsizetype colon = format.indexOf(u':');
    QString pattern = colon < 0 ? QString() : format.mid(colon + 1);
    if (pattern.isEmpty()) {
        const QLocale locale;
        pattern = format.startsWith(u"datetime") ? locale.dateTimeFormat(QLocale::ShortFormat)
                  : format.startsWith(u"time")   ? locale.timeFormat(QLocale::ShortFormat)
                                                 : locale.dateFormat(QLocale::ShortFormat);
    }
    QString code;
    for (const TableLayout::PatternPiece& p : TableLayout::datePattern(pattern)) {
        switch (p.letter.unicode()) {
        case 0: {
            QString text = p.text;
            text.remove(u'"');
            if (!text.isEmpty())
                code += u'"' + text + u'"';
            break;
        }
        case 'd': code += QString(std::min(p.count, 4), u'd'); break;
        case 'M': code += QString(std::min(p.count, 4), u'm'); break;
        case 'y': code += p.count > 2 ? QStringLiteral("yyyy") : QStringLiteral("yy"); break;
        case 'h':
        case 'H': code += QString(std::min(p.count, 2), u'h'); break;
        case 'm': code += QString(std::min(p.count, 2), u'm'); break;
        case 's': code += QString(std::min(p.count, 2), u's'); break;
        case 'a':
        case 'A':
        case 'P': code += QStringLiteral("AM/PM"); break;
        default: break;
        }
    }
    return code;
}

// The shared strings laid out over the SST record and its CONTINUE records: a string's header
// never splits, its characters may, the continuation repeating the width flag. Laid out once
// while the strings come, counting only (the globals' size must be known before they are
// written), and again while they are written: the same steps give the same records.
class SstLayout {
public:
    explicit SstLayout(ExportFile* out = nullptr, quint32 uses = 0, quint32 unique = 0) : m_out(out)
    {
        if (m_out) {
            put32(m_data, uses);
            put32(m_data, unique);
        }
    }

    // Where the string starts: bytes from the SST record's start, and from its own record's.
    std::pair<qint64, quint16> add(const char* chars, qsizetype bytes, bool wide)
    {
        const qsizetype unit = wide ? 2 : 1;
        if (m_fill + 3 + unit > maxRecord)
            nextRecord();
        const std::pair<qint64, quint16> at{m_total, quint16(4 + m_fill)};
        QByteArray header;
        put16(header, quint32(bytes / unit));
        put8(header, wide ? 1 : 0);
        append(header.constData(), header.size());
        qsizetype done = 0;
        while (done < bytes) {
            const qsizetype fit = (maxRecord - m_fill) / unit * unit;
            if (fit <= 0) {
                nextRecord();
                append(header.constData() + 2, 1);
                continue;
            }
            const qsizetype take = std::min(fit, bytes - done);
            append(chars + done, take);
            done += take;
        }
        return at;
    }

    void finish()
    {
        if (m_out) {
            QByteArray r;
            record(r, m_id, m_data);
            *m_out << r;
        }
    }

    qint64 size() const { return m_total; }

private:
    void append(const char* data, qsizetype size)
    {
        m_fill += size;
        m_total += size;
        if (m_out)
            m_data.append(data, size);
    }

    void nextRecord()
    {
        finish();
        m_data.clear();
        m_id = Continue;
        m_fill = 0;
        m_total += 4;
    }

    ExportFile* m_out;
    QByteArray m_data;
    quint16 m_id = Sst;
    qsizetype m_fill = 8;  // the two counts
    qint64 m_total = 12;
};

struct Sheet {
    qint64 bodyStart = 0, bodySize = 0;
    int rows = 0;
    std::vector<int> breaks;                    // first rows of the report pages after the first
    std::vector<std::array<quint16, 4>> merges; // first row, last row, first column, last column
};

struct CellRecord {
    int row, column;
    QByteArray bytes;
};

class XlsWriter {
public:
    XlsWriter(const PageDocument& doc, ExportFile& file) : m_doc(doc), m_file(file), m_layout(TableLayout::forDocument(doc))
    {
        if (!m_body.open())
            file.fail(m_body.errorString());
        if (!m_stringFile.open())
            file.fail(m_stringFile.errorString());
        m_columns = std::min(m_layout.columnCount(), maxColumns);
    }

    void page(int index)
    {
        const PageRef page = m_doc.page(index);
        const TablePage table = m_layout.cut(*page, m_doc);
        const int rows = std::min(int(table.rowHeights.size()), maxSheetRows);
        if (rows == 0)
            return;
        if (m_sheets.empty() || m_sheets.back().rows + rows > maxSheetRows)
            startSheet();
        Sheet& sheet = m_sheets.back();
        const int base = sheet.rows;
        if (base > 0 && int(sheet.breaks.size()) < maxBreaks)
            sheet.breaks.push_back(base);
        sheet.rows += rows;

        std::vector<CellRecord> cells;
        cells.reserve(table.cells.size());
        for (const TableCell& cell : table.cells) {
            if (cell.column >= m_columns || cell.row >= rows)
                continue;
            const int row = base + cell.row;
            const int lastRow = std::min(base + cell.row + cell.rowSpan, base + rows) - 1;
            const int lastColumn = std::min(cell.column + cell.columnSpan, m_columns) - 1;
            quint16 xf = 0;
            cells.push_back(CellRecord{row, cell.column, content(*page, cell, row, xf)});
            if (lastRow > row || lastColumn > cell.column) {
                sheet.merges.push_back({quint16(row), quint16(lastRow), quint16(cell.column), quint16(lastColumn)});
                // The covered cells carry the style too: their sides are the merged cell's sides.
                for (int r = row; r <= lastRow; ++r)
                    for (int c = cell.column; c <= lastColumn; ++c)
                        if (r != row || c != cell.column)
                            cells.push_back(CellRecord{r, c, blank(r, c, xf)});
            }
        }
        std::stable_sort(cells.begin(), cells.end(),
                         [](const CellRecord& a, const CellRecord& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });

        // Row records in blocks of 32, each block followed by its cells, as the readers expect.
        m_out.clear();
        size_t next = 0;
        for (int first = 0; first < rows; first += 32) {
            const int last = std::min(first + 32, rows);
            size_t scan = next;
            for (int r = first; r < last; ++r) {
                int low = 0, high = 0;
                if (scan < cells.size() && cells[scan].row == base + r) {
                    low = cells[scan].column;
                    while (scan < cells.size() && cells[scan].row == base + r)
                        high = cells[scan++].column + 1;
                }
                QByteArray b;
                put16(b, quint32(base + r));
                put16(b, quint32(low));
                put16(b, quint32(high));
                put16(b, quint32(std::clamp<qint64>(std::llround(table.rowHeights[size_t(r)] * 1440 / 25.4), 1, 8192)));
                put16(b, 0);
                put16(b, 0);
                put32(b, 0x0140 | quint32(defaultCellXf) << 16); // the height is the report's, not fitted to the text
                record(m_out, Row, b);
            }
            for (; next < scan; ++next)
                m_out += cells[next].bytes;
        }
        if (m_body.write(m_out) != m_out.size())
            throw FileError(QStringLiteral("Cannot write a temporary file: %1").arg(m_body.errorString()));
        sheet.bodySize += m_out.size();
    }

    void finish()
    {
        if (m_sheets.empty())
            startSheet(); // no page made a cell: still a workbook, with one empty sheet
        std::vector<QByteArray> heads, tails;
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            heads.push_back(sheetHead(m_sheets[i]));
            tails.push_back(sheetTail(m_sheets[i], i == 0));
        }
        std::vector<qsizetype> offsetFields;
        QByteArray globals = this->globals(offsetFields);
        const QByteArray extSst = extSstRecord(globals.size());
        QByteArray eof;
        record(eof, Eof, QByteArray());
        qint64 at = globals.size() + m_sstSize.size() + extSst.size() + eof.size();
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            const quint32 offset = quint32(at);
            for (int k = 0; k < 4; ++k)
                globals[offsetFields[i] + k] = char((offset >> (8 * k)) & 0xff);
            at += heads[i].size() + m_sheets[i].bodySize + tails[i].size();
        }
        if (at > qint64(0xFFFFFFFFu) - CompoundFile::sectorSize)
            m_file.fail(QStringLiteral("the workbook would be larger than 4 GB"));
        CompoundFile container(m_file, QStringLiteral("Workbook"), at);
        m_file << globals;
        writeStrings();
        m_file << extSst << eof;
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            m_file << heads[i];
            copyBody(m_sheets[i]);
            m_file << tails[i];
        }
        container.finish();
    }

private:
    void startSheet()
    {
        Sheet sheet;
        sheet.bodyStart = m_body.pos();
        m_sheets.push_back(sheet);
    }

    static QByteArray bof(quint16 kind)
    {
        QByteArray b;
        put16(b, 0x0600);
        put16(b, kind);
        put16(b, 0x0DBB);
        put16(b, 0x07CC);
        put32(b, 0);
        put32(b, 6);
        return b;
    }

    QByteArray blank(int row, int column, quint16 xf) const
    {
        QByteArray b, out;
        put16(b, quint32(row));
        put16(b, quint32(column));
        put16(b, xf);
        record(out, Blank, b);
        return out;
    }

    QByteArray content(const Page& page, const TableCell& cell, int row, quint16& xf)
    {
        const PageBox* box = cell.box == TableCell::noBox ? nullptr : &page.boxes[cell.box];
        const PageValue* value = box && box->kind == PageBox::Kind::Text && cell.extra.isEmpty() ? page.value(cell.box) : nullptr;
        xf = cellXf(cell, box, value);
        QByteArray b, out;
        put16(b, quint32(row));
        put16(b, quint32(cell.column));
        put16(b, xf);
        if (value) {
            putDouble(b, value->number);
            record(out, Number, b);
            return out;
        }
        QString text;
        if (box && box->kind == PageBox::Kind::Text)
            text = page.text(*box).toString();
        else if (box && box->kind == PageBox::Kind::CheckBox)
            text = box->checked ? QStringLiteral("\u2611") : QStringLiteral("\u2610");
        text += cell.extra;
        text.remove(u'\r');
        if (text.isEmpty()) {
            record(out, Blank, b);
            return out;
        }
        put32(b, sharedString(text.left(maxText)));
        record(out, LabelSst, b);
        return out;
    }

    // Every text goes to the strings file as it will be written; only recent ones are looked up
    // again (group names, check marks, repeated values), so that the strings held in memory do
    // not grow with the report.
    quint32 sharedString(const QString& text)
    {
        ++m_stringUses;
        auto it = m_recentStrings.constFind(text);
        if (it != m_recentStrings.constEnd())
            return *it;
        const quint32 index = m_stringCount++;
        const bool wide = needsWide(text);
        QByteArray chars;
        putChars(chars, text, wide);
        const auto at = m_sstSize.add(chars.constData(), chars.size(), wide);
        if (index % 8 == 0)
            m_stringMarks.push_back(at);
        put8(m_stringOut, wide ? 1 : 0);
        put32(m_stringOut, quint32(chars.size()));
        m_stringOut += chars;
        if (m_stringOut.size() > 1024 * 1024)
            flushStrings();
        if (m_recentStrings.size() >= 4096)
            m_recentStrings.clear();
        m_recentStrings.insert(text, index);
        return index;
    }

    void flushStrings()
    {
        if (m_stringFile.write(m_stringOut) != m_stringOut.size())
            throw FileError(QStringLiteral("Cannot write a temporary file: %1").arg(m_stringFile.errorString()));
        m_stringOut.clear();
    }

    void writeStrings()
    {
        flushStrings();
        if (!m_stringFile.seek(0))
            throw FileError(QStringLiteral("Cannot read a temporary file: %1").arg(m_stringFile.errorString()));
        SstLayout out(&m_file, m_stringUses, m_stringCount);
        for (quint32 i = 0; i < m_stringCount; ++i) {
            const QByteArray head = m_stringFile.read(5);
            const QByteArray chars = head.size() == 5 ? m_stringFile.read(qint64(quint8(head[1])) | qint64(quint8(head[2])) << 8
                                                                          | qint64(quint8(head[3])) << 16 | qint64(quint8(head[4])) << 24)
                                                      : QByteArray();
            if (head.size() != 5)
                throw FileError(QStringLiteral("Cannot read a temporary file: %1").arg(m_stringFile.errorString()));
            out.add(chars.constData(), chars.size(), head[0] != 0);
        }
        out.finish();
    }

    // Every few strings' places, for readers that look a string up without reading those before.
    QByteArray extSstRecord(qint64 sstStart) const
    {
        const quint32 perBucket = std::max<quint32>(8, (m_stringCount + 127) / 128 + 7) / 8 * 8;
        QByteArray b, r;
        put16(b, perBucket);
        for (quint32 k = 0; k * perBucket < m_stringCount; ++k) {
            const auto& at = m_stringMarks[k * perBucket / 8];
            put32(b, quint32(sstStart + at.first));
            put16(b, at.second);
            put16(b, 0);
        }
        record(r, ExtSst, b);
        return r;
    }

    quint16 fontIndex(const TextStyle& t)
    {
        const quint16 colour = m_palette.index(t.color);
        const QString key = t.font.family + u'|' + QString::number(t.font.size) + u'|' + QChar(u'0' + t.font.bold)
                            + QChar(u'0' + t.font.italic) + QChar(u'0' + t.font.underline) + u'|' + QString::number(colour);
        auto it = m_fontIndex.constFind(key);
        if (it != m_fontIndex.constEnd())
            return *it;
        QByteArray b;
        put16(b, quint32(std::clamp<qint64>(std::llround(t.font.size * 20), 20, 8180)));
        put16(b, (t.font.bold ? 0x0001 : 0) | (t.font.italic ? 0x0002 : 0)); // the weight decides; older readers look here
        put16(b, colour);
        put16(b, t.font.bold ? 700 : 400);
        put16(b, 0);
        put8(b, t.font.underline ? 1 : 0);
        put8(b, 0);
        put8(b, 1); // the default character set: the texts are Unicode anyway
        put8(b, 0);
        b += unicodeString(QStringView(t.font.family).left(255), true);
        record(m_fonts, Font, b);
        // Font number 4 does not exist in this format; the fifth record is number 5.
        const quint16 index = quint16(4 + 1 + m_fontIndex.size());
        m_fontIndex.insert(key, index);
        return index;
    }

    quint16 formatIndex(const PageValue* value)
    {
        if (!value)
            return 0;
        const QString& f = m_doc.format(value->format);
        const bool dateFormat = f.startsWith(u"date") || f.startsWith(u"time");
        QString code;
        if (value->isDate && (dateFormat || f.isEmpty())) {
            code = dateCode(f);
        } else if (!value->isDate && (f.startsWith(u'n') || f.startsWith(u'f'))) {
            const int decimals = std::clamp(f.mid(1).toInt(), 0, 15);
            code = (f.startsWith(u'n') ? QStringLiteral("#,##0") : QStringLiteral("0"))
                   + (decimals > 0 ? u'.' + QString(decimals, u'0') : QString());
        }
        if (code.isEmpty())
            return 0;
        auto it = m_formatIndex.constFind(code);
        if (it != m_formatIndex.constEnd())
            return *it;
        const quint16 index = quint16(firstCustomFormat + m_formatIndex.size());
        QByteArray b;
        put16(b, index);
        b += unicodeString(code, false);
        record(m_formats, Format, b);
        m_formatIndex.insert(code, index);
        return index;
    }

    quint16 cellXf(const TableCell& cell, const PageBox* box, const PageValue* value)
    {
        const TextStyle* t = box ? &m_doc.style(cell.style).text : nullptr;
        const bool centred = box && box->kind != PageBox::Kind::Text;
        const quint16 font = t ? fontIndex(*t) : 0;
        const quint16 format = formatIndex(value);
        static const quint32 horizontal[] = {1, 2, 3, 5};
        const quint32 alignment = (centred ? 2 : t ? horizontal[int(t->hAlign)] : 0) | (t && t->wordWrap ? 0x08 : 0)
                                  | (centred ? 1 : t ? quint32(t->vAlign) : 0) << 4;
        auto colourOf = [&](const FrameSide& s) { return s.width > 0 ? m_palette.index(s.color) : quint16(0); };
        const quint32 lines = borderKind(cell.left.width) | borderKind(cell.right.width) << 4 | borderKind(cell.top.width) << 8
                              | borderKind(cell.bottom.width) << 12 | quint32(colourOf(cell.left)) << 16
                              | quint32(colourOf(cell.right)) << 23;
        const quint32 moreLines = quint32(colourOf(cell.top)) | quint32(colourOf(cell.bottom)) << 7 | (cell.fill.isValid() ? 1u << 26 : 0);
        const quint32 fill = cell.fill.isValid() ? quint32(m_palette.index(cell.fill)) | 64u << 7 : 64u | 65u << 7;

        QByteArray b;
        put16(b, font);
        put16(b, format);
        put16(b, 0x0001); // locked, a cell of the Normal style
        put8(b, alignment);
        put8(b, 0);
        put8(b, 0);
        put8(b, 0xFC); // number, font, alignment, border, fill and protection are this cell's own
        put32(b, lines);
        put32(b, moreLines);
        put16(b, fill);
        auto it = m_xfIndex.constFind(b);
        if (it != m_xfIndex.constEnd())
            return *it;
        if (m_xfIndex.size() + defaultCellXf + 1 >= 4050)
            return defaultCellXf; // the format's limit of cell styles
        const quint16 index = quint16(defaultCellXf + 1 + m_xfIndex.size());
        m_xfIndex.insert(b, index);
        record(m_xfs, Xf, b);
        return index;
    }

    static QByteArray styleXf(bool cell)
    {
        QByteArray b;
        put16(b, 0);
        put16(b, 0);
        put16(b, cell ? 0x0001 : 0xFFF5);
        put8(b, 0x20); // bottom, as the office programs' own default
        put8(b, 0);
        put8(b, 0);
        put8(b, 0);
        put32(b, 0);
        put32(b, 0);
        put16(b, 64u | 65u << 7);
        return b;
    }

    QByteArray globals(std::vector<qsizetype>& offsetFields)
    {
        QByteArray g, b;
        record(g, Bof, bof(0x0005));
        b.clear();
        put16(b, 1200); // texts are UTF-16
        record(g, Codepage, b);
        b.clear();
        put16(b, 0x0168);
        put16(b, 0x001E);
        put16(b, 0x3A5C);
        put16(b, 0x2328);
        put16(b, 0x0038);
        put16(b, 0);
        put16(b, 0);
        put16(b, 1);
        put16(b, 0x0258);
        record(g, Window1, b);
        b.clear();
        put16(b, 0); // days counted from 1899-12-30, as the report's dates are
        record(g, DateMode, b);
        {
            QByteArray f;
            put16(f, 200);
            put16(f, 0);
            put16(f, 0x7FFF);
            put16(f, 400);
            put16(f, 0);
            put8(f, 0);
            put8(f, 0);
            put8(f, 1);
            put8(f, 0);
            f += unicodeString(u"Arial", true);
            for (int i = 0; i < 4; ++i)
                record(g, Font, f);
        }
        g += m_fonts;
        g += m_formats;
        for (int i = 0; i < 15; ++i)
            record(g, Xf, styleXf(false));
        record(g, Xf, styleXf(true));
        g += m_xfs;
        b.clear();
        put16(b, 0x8000); // the built-in Normal style on the first style record
        put8(b, 0);
        put8(b, 0xFF);
        record(g, Style, b);
        record(g, Palette, m_palette.record());
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            b.clear();
            put32(b, 0);
            put8(b, 0);
            put8(b, 0);
            QString name = reportTexts().pages;
            if (i > 0)
                name += u' ' + QString::number(i + 1);
            for (const QChar c : u"[]:*?/\\")
                name.replace(c, u'_');
            b += unicodeString(QStringView(name).left(31), true);
            offsetFields.push_back(g.size() + 4);
            record(g, BoundSheet, b);
        }
        return g;
    }

    QByteArray sheetHead(const Sheet& sheet) const
    {
        QByteArray h, b;
        record(h, Bof, bof(0x0010));
        put16(b, 0x05C1); // printed fitted to the page's width, as the report was
        record(h, WsBool, b);
        b.clear();
        if (!sheet.breaks.empty()) {
            put16(b, quint32(sheet.breaks.size()));
            for (int row : sheet.breaks) {
                put16(b, quint32(row));
                put16(b, 0);
                put16(b, 255);
            }
            record(h, HorizontalBreaks, b);
        }
        h += pageSetup();
        for (int c = 0; c < m_columns; ++c) {
            b.clear();
            put16(b, quint32(c));
            put16(b, quint32(c));
            // Widths count in 1/256 of a digit of the default font, about 7 pixels at 96 per inch.
            put16(b, quint32(std::clamp<qint64>(std::llround(m_layout.columnWidth(c) / 25.4 * 96 / 7 * 256), 0, 65535)));
            put16(b, defaultCellXf);
            put16(b, 0);
            put16(b, 0);
            record(h, ColInfo, b);
        }
        b.clear();
        put32(b, 0);
        put32(b, quint32(sheet.rows));
        put16(b, 0);
        put16(b, sheet.rows > 0 ? quint32(m_columns) : 0);
        put16(b, 0);
        record(h, Dimensions, b);
        return h;
    }

    // The report's paper and orientation, the margins of the other spreadsheet filter, the
    // columns shrunk to the paper's width where they are wider.
    QByteArray pageSetup() const
    {
        QByteArray h, b;
        const QSizeF page = m_doc.pageCount() ? m_doc.pageSize(0) : QSizeF(210, 297);
        const double margins[] = {std::max(5.0, m_layout.left()), 5, 10, 10};
        const Record ids[] = {LeftMargin, RightMargin, TopMargin, BottomMargin};
        for (int i = 0; i < 4; ++i) {
            b.clear();
            putDouble(b, margins[i] / 25.4);
            record(h, ids[i], b);
        }
        const double shortSide = std::min(page.width(), page.height()), longSide = std::max(page.width(), page.height());
        const struct {
            double w, h;
            quint16 code;
        } papers[] = {{210, 297, 9}, {297, 420, 8}, {148, 210, 11}, {215.9, 279.4, 1}, {215.9, 355.6, 5}, {182, 257, 13}};
        quint16 paper = 9;
        for (const auto& p : papers)
            if (std::abs(p.w - shortSide) < 2 && std::abs(p.h - longSide) < 2)
                paper = p.code;
        b.clear();
        put16(b, paper);
        put16(b, 100);
        put16(b, 1);
        put16(b, 1); // one page wide
        put16(b, 0); // as many pages tall as it takes
        put16(b, page.width() > page.height() ? 0 : 0x0002);
        put16(b, 600);
        put16(b, 600);
        putDouble(b, 0.3);
        putDouble(b, 0.3);
        put16(b, 1);
        record(h, Setup, b);
        return h;
    }

    static QByteArray sheetTail(const Sheet& sheet, bool first)
    {
        QByteArray t, b;
        // Row and column headings, zeros, no grid lines (the report draws its own), page view.
        put16(b, 0x00B4 | (first ? 0x0600 : 0));
        put16(b, 0);
        put16(b, 0);
        put16(b, 64);
        put16(b, 0);
        put16(b, 0);
        put16(b, 0);
        put32(b, 0);
        record(t, Window2, b);
        for (size_t i = 0; i < sheet.merges.size(); i += 1026) {
            const size_t n = std::min<size_t>(1026, sheet.merges.size() - i);
            b.clear();
            put16(b, quint32(n));
            for (size_t k = i; k < i + n; ++k)
                for (quint16 v : sheet.merges[k])
                    put16(b, v);
            record(t, MergedCells, b);
        }
        record(t, Eof, QByteArray());
        return t;
    }

    void copyBody(const Sheet& sheet)
    {
        if (!m_body.seek(sheet.bodyStart))
            throw FileError(QStringLiteral("Cannot read a temporary file: %1").arg(m_body.errorString()));
        qint64 left = sheet.bodySize;
        while (left > 0) {
            const QByteArray chunk = m_body.read(std::min<qint64>(left, 1024 * 1024));
            if (chunk.isEmpty())
                throw FileError(QStringLiteral("Cannot read a temporary file: %1").arg(m_body.errorString()));
            m_file << chunk;
            left -= chunk.size();
        }
    }

    const PageDocument& m_doc;
    ExportFile& m_file;
    TableLayout m_layout;
    int m_columns = 0;
    QTemporaryFile m_body; // the sheets' cells, until the strings and styles they use are known
    QByteArray m_out;
    std::vector<Sheet> m_sheets;
    QTemporaryFile m_stringFile; // the shared strings, until the globals before them are written
    QByteArray m_stringOut;
    QHash<QString, quint32> m_recentStrings;
    quint32 m_stringCount = 0, m_stringUses = 0;
    SstLayout m_sstSize;
    std::vector<std::pair<qint64, quint16>> m_stringMarks; // every eighth string's place
    ColourPalette m_palette;
    QHash<QString, quint16> m_fontIndex, m_formatIndex;
    QHash<QByteArray, quint16> m_xfIndex;
    QByteArray m_fonts, m_formats, m_xfs;
};

} // namespace

QString XlsExportFilter::caption() const
{
    return reportTexts().xlsFilter;
}

bool XlsExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    ExportFile file(fileName());
    XlsWriter writer(pages, file);
    if (!writePagesTo(file, writer, pages.pageCount(), progress))
        return false;
    m_written << fileName();
    return true;
}
