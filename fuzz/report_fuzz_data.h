#pragma once

// What report_template_fuzz fills templates from, shared with the tests that replay its inputs,
// so that an input found by the fuzzer goes the same way in the test: a fixed 3-row dataset,
// and a small database held in memory that sub-reports query.

#include "platform/sql_connection.h"
#include "report/engine/dataset.h"

#include <QBuffer>
#include <QImage>

inline ReportDataset& fuzzReportData()
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
        // The fields the starting inputs of the template target use, so that each of them
        // is filled and not only read.
        data.reset({QStringLiteral("name"), QStringLiteral("country"), QStringLiteral("qty"),
                    QStringLiteral("price"), QStringLiteral("photo"), QStringLiteral("born"),
                    QStringLiteral("no"), QStringLiteral("number"), QStringLiteral("total"),
                    QStringLiteral("vip"), QStringLiteral("customer"), QStringLiteral("city"),
                    QStringLiteral("product"), QStringLiteral("phone"), QStringLiteral("email"),
                    QStringLiteral("notes"), QStringLiteral("paid"), QStringLiteral("date"),
                    QStringLiteral("ordered")});
        const char* names[] = {"Ann", "Борис", ""};
        auto text = [](const QByteArray& value) { data.addText(value.constData(), value.size()); };
        for (int r = 0; r < 3; ++r) {
            data.appendRow();
            const QByteArray name(names[r]);
            text(name);
            text(r < 2 ? "Norway" : "Россия");
            data.addInteger(r * 7 - 3);
            data.addReal(r * 1.25);
            if (r == 1)
                data.addNull();
            else
                data.addBlob(png.constData(), png.size());
            const QByteArray born("1984-02-12 00:00:00.000");
            text(born);
            data.addInteger(r + 1);                                      // no
            text("ORD-" + QByteArray::number(2480 + r));                 // number
            data.addReal(r * 12.5 - 1);                                  // total
            data.addInteger(r % 2);                                      // vip
            text(name);                                                  // customer
            if (r == 2)
                data.addNull();                                          // city
            else
                text("Tromsø");
            text(r == 0 ? QByteArray("Tea \"Earl\" & <Grey>") : QByteArray("Coffee")); // product
            text("+47 " + QByteArray::number(555000 + r));               // phone
            text("a@b.no");                                              // email
            text(QByteArray("line one\nline two ").repeated(r + 1));     // notes
            data.addInteger(r == 1);                                     // paid
            text(born);                                                  // date
            text("2024-0" + QByteArray::number(r + 1) + "-15 10:30:00.000"); // ordered
        }
    }
    return data;
}

inline SqlConnection& fuzzSubreportDatabase()
{
    static SqlConnection db;
    if (!db.isOpen()) {
        db.open(QStringLiteral(":memory:"));
        db.execute(QStringLiteral("CREATE TABLE orders (name TEXT, number INTEGER, total REAL);"
                                  "INSERT INTO orders VALUES ('Ann', 1, 2.5), ('Ann', 2, NULL), ('', 3, -1);"));
    }
    return db;
}
