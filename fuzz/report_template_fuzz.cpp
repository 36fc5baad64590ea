// Feeds arbitrary bytes to the report template reader and fills what it accepts from a small
// fixed dataset; sub-reports run their queries on a small database held in memory. The reader refuses with FormatError or gives a template that the writer
// writes back exactly (read, write, read again: the same template); filling never crashes.

#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "report/engine/page_document.h"
#include "report/report.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstdlib>

namespace {

ReportDataset& fixedData()
{
    static ReportDataset data;
    static bool filled = false;
    if (!filled) {
        filled = true;
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        data.reset({QStringLiteral("name"), QStringLiteral("country"), QStringLiteral("qty"),
                    QStringLiteral("price"), QStringLiteral("photo"), QStringLiteral("born")});
        const char* names[] = {"Ann", "Борис", ""};
        for (int r = 0; r < 3; ++r) {
            data.appendRow();
            const QByteArray name(names[r]);
            data.addText(name.constData(), name.size());
            const QByteArray country(r < 2 ? "Norway" : "Россия");
            data.addText(country.constData(), country.size());
            data.addInteger(r * 7 - 3);
            data.addReal(r * 1.25);
            if (r == 1)
                data.addNull();
            else
                data.addBlob(png.constData(), png.size());
            const QByteArray born("1984-02-12 00:00:00.000");
            data.addText(born.constData(), born.size());
        }
    }
    return data;
}

SqlConnection& subreportDatabase()
{
    static SqlConnection db;
    if (!db.isOpen()) {
        db.open(QStringLiteral(":memory:"));
        db.execute(QStringLiteral("CREATE TABLE orders (name TEXT, number INTEGER, total REAL);"
                                  "INSERT INTO orders VALUES ('Ann', 1, 2.5), ('Ann', 2, NULL), ('', 3, -1);"));
    }
    return db;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ReportTemplate first;
    try {
        first = ReportTemplateFormat::read(xml, QStringLiteral("fuzz.xml"));
    } catch (const FormatError&) {
        return 0;
    }
    const ReportTemplate second =
        ReportTemplateFormat::read(ReportTemplateFormat::write(first), QStringLiteral("again.xml"));
    if (!(second == first))
        std::abort();
    try {
        Report report;
        report.addDataset(&fixedData());
        report.setSubreportSource([](const QString& sql) { return subreportDatabase().prepareBound(sql); });
        report.loadTemplateText(QString::fromUtf8(xml), QStringLiteral("fuzz.xml"));
        if (report.prepare(true) && report.pages()->pageCount() > 0)
            report.pages()->page(0);
    } catch (const VarnelError&) {
    }
    return 0;
}
