#include "platform/spreadsheet_writer.h"

#include "platform/errors.h"

#include <QHash>
#include <QRegularExpression>

#include <optional>

#include <xlsxwriter.h>

namespace {

// More significant digits than a double keeps exactly would change the value.
constexpr int MaxDigits = 15;

int digitCount(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        if (c.isDigit())
            ++n;
    return n;
}

bool hasLeadingZero(const QString& text)
{
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    return text.size() > start + 1 && text[start] == u'0' && text[start + 1].isDigit();
}

std::optional<double> readNumber(const QString& text, const QLocale& locale)
{
    if (text.isEmpty() || text != text.trimmed() || hasLeadingZero(text)
        || digitCount(text) > MaxDigits || digitCount(text) == 0)
        return std::nullopt;
    // Only digits, one sign in front and the separators of either notation: no exponents,
    // no currency, nothing a spreadsheet would read differently from the grid.
    static const QRegularExpression shape(QStringLiteral("^-?[0-9][0-9.,'\\x{00A0}\\x{202F} ]*$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (ok)
        return value;
    // The database's own notation, a point before the decimals and no grouping.
    static const QRegularExpression plain(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    if (plain.match(text).hasMatch()) {
        value = QLocale::c().toDouble(text, &ok);
        if (ok)
            return value;
    }
    return std::nullopt;
}

// Qt's date and time pattern letters as the spreadsheet's number format.
QString spreadsheetFormat(const QString& qtPattern)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < qtPattern.size(); ++i) {
        const QChar c = qtPattern[i];
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) {
            result += u'\\';
            result += c;
            continue;
        }
        if (c == u'A' || c == u'a') {
            if (i + 1 < qtPattern.size() && (qtPattern[i + 1] == u'P' || qtPattern[i + 1] == u'p'))
                ++i;
            result += QStringLiteral("AM/PM");
        } else if (c == u't' || c == u'z') {
            continue;
        } else if (c == u'H') {
            result += u'h';
        } else {
            result += c.toLower();
        }
    }
    return result.trimmed();
}

struct DatePattern {
    QString qt;
    SpreadsheetCell::Kind kind;
};

QList<DatePattern> datePatterns(const QLocale& locale)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString longTime = locale.timeFormat(QLocale::LongFormat).remove(u't').trimmed();
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    return {
        {shortDate + u' ' + longTime, SpreadsheetCell::DateTime},
        {shortDate + u' ' + shortTime, SpreadsheetCell::DateTime},
        {shortDate, SpreadsheetCell::Date},
        {QStringLiteral("yyyy-MM-dd HH:mm:ss"), SpreadsheetCell::DateTime},
        {QStringLiteral("yyyy-MM-dd HH:mm"), SpreadsheetCell::DateTime},
        {QStringLiteral("yyyy-MM-dd"), SpreadsheetCell::Date},
        {longTime, SpreadsheetCell::Time},
        {shortTime, SpreadsheetCell::Time},
    };
}

// Two-digit years fall in 1930 to 2029, as spreadsheet programs read them.
QDate withCentury(QDate date, const QString& pattern)
{
    if (pattern.contains(QStringLiteral("yyyy")) || !pattern.contains(QStringLiteral("yy")))
        return date;
    const int year = 1900 + date.year() % 100;
    return QDate(year < 1930 ? year + 100 : year, date.month(), date.day());
}

std::optional<SpreadsheetCell> readDate(const QString& text, const QLocale& locale)
{
    if (text.isEmpty() || !text[0].isDigit() || text != text.trimmed())
        return std::nullopt;
    for (const DatePattern& p : datePatterns(locale)) {
        if (p.qt.isEmpty())
            continue;
        SpreadsheetCell cell;
        cell.kind = p.kind;
        if (p.kind == SpreadsheetCell::Time) {
            const QTime time = locale.toTime(text, p.qt);
            if (!time.isValid())
                continue;
            cell.dateTime = QDateTime(QDate(1899, 12, 31), time);
        } else {
            const QDateTime at = p.kind == SpreadsheetCell::Date
                                     ? QDateTime(locale.toDate(text, p.qt), QTime(0, 0))
                                     : locale.toDateTime(text, p.qt);
            if (!at.isValid() || !at.date().isValid())
                continue;
            cell.dateTime = QDateTime(withCentury(at.date(), p.qt), at.time());
        }
        cell.format = spreadsheetFormat(p.qt);
        return cell;
    }
    return std::nullopt;
}

} // namespace

SpreadsheetCell spreadsheetCell(const QString& text, const QLocale& locale)
{
    if (const auto number = readNumber(text, locale)) {
        SpreadsheetCell cell;
        cell.kind = SpreadsheetCell::Number;
        cell.number = *number;
        return cell;
    }
    if (const auto date = readDate(text, locale))
        return *date;
    return SpreadsheetCell{};
}

void writeSpreadsheet(const QString& fileName, const QList<QStringList>& rows, const QLocale& locale)
{
    const QByteArray path = fileName.toUtf8();
    lxw_workbook* workbook = workbook_new(path.constData());
    if (!workbook)
        throw FileError(QStringLiteral("Cannot create the workbook \"%1\".").arg(fileName));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);

    lxw_format* cellFormat = workbook_add_format(workbook);
    format_set_border(cellFormat, LXW_BORDER_THIN);
    format_set_shrink(cellFormat);
    lxw_format* titleFormat = workbook_add_format(workbook);
    format_set_border(titleFormat, LXW_BORDER_THIN);
    format_set_shrink(titleFormat);
    format_set_bg_color(titleFormat, 0xC8C8C8);
    format_set_pattern(titleFormat, LXW_PATTERN_SOLID);
    // One format per date or time look; the workbook owns them.
    QHash<QString, lxw_format*> dateFormats;
    auto dateFormat = [&](const QString& look) {
        lxw_format*& format = dateFormats[look];
        if (!format) {
            format = workbook_add_format(workbook);
            format_set_border(format, LXW_BORDER_THIN);
            format_set_shrink(format);
            format_set_num_format(format, look.toUtf8().constData());
        }
        return format;
    };

    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            const auto row = static_cast<lxw_row_t>(r);
            const auto col = static_cast<lxw_col_t>(c);
            const QString& text = rows[r][c];
            const SpreadsheetCell cell = r == 0 ? SpreadsheetCell{} : spreadsheetCell(text, locale);
            switch (cell.kind) {
            case SpreadsheetCell::Number:
                worksheet_write_number(sheet, row, col, cell.number, cellFormat);
                break;
            case SpreadsheetCell::Date:
            case SpreadsheetCell::DateTime:
            case SpreadsheetCell::Time: {
                const QDate d = cell.dateTime.date();
                const QTime t = cell.dateTime.time();
                lxw_datetime value{};
                if (cell.kind != SpreadsheetCell::Time) {
                    value.year = d.year();
                    value.month = d.month();
                    value.day = d.day();
                }
                value.hour = t.hour();
                value.min = t.minute();
                value.sec = t.second();
                worksheet_write_datetime(sheet, row, col, &value, dateFormat(cell.format));
                break;
            }
            case SpreadsheetCell::Text: {
                const QByteArray utf8 = text.toUtf8();
                worksheet_write_string(sheet, row, col, utf8.constData(),
                                       r == 0 ? titleFormat : cellFormat);
                break;
            }
            }
        }
    }
    worksheet_set_selection(sheet, 0, 0, 0, 0);

    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR)
        throw FileError(QStringLiteral("Cannot write the workbook \"%1\": %2")
                            .arg(fileName, QString::fromUtf8(lxw_strerror(result))));
}
