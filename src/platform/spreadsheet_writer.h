#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// What a spreadsheet program makes of a typed text: a number, a date (with or without a time),
// a time of day, or the text itself.
struct SpreadsheetCell {
    enum Kind { Text, Number, Date, DateTime, Time };
    Kind kind = Text;
    double number = 0;
    QDateTime dateTime; // Date, DateTime and Time (the date part of a Time is not used)
    QString format;     // the spreadsheet's number format that shows the value as it was typed

    friend bool operator==(const SpreadsheetCell&, const SpreadsheetCell&) = default;
};

// Reads text the way the grid wrote it under locale: numbers in the regional or the plain
// notation, dates and times in the regional short forms or as year-month-day. Texts that
// would lose something as numbers stay texts: leading zeros (postal codes, phone numbers),
// more digits than a spreadsheet keeps, signs and blanks around them.
SpreadsheetCell spreadsheetCell(const QString& text, const QLocale& locale);

// Writes a workbook of one sheet: the first row as texts, shaded light grey; the other cells
// as spreadsheetCell reads them; thin borders on all cells and texts shrunk to fit. Throws
// FileError when the file cannot be written.
void writeSpreadsheet(const QString& fileName, const QList<QStringList>& rows,
                      const QLocale& locale = QLocale());
