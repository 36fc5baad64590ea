#pragma once

#include "report/engine/display_format.h"
#include "report/export/binary.h"

#include <QByteArray>
#include <QColor>
#include <QLocale>
#include <QStringView>
#include <vector>

// The pieces of the Excel 97-2003 record format the workbook writer is made of.
namespace Xls {

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

// A record: its id, its length, its data.
void record(QByteArray& out, quint16 id, const QByteArray& data);
// Whether a text needs two bytes a character (anything beyond Latin-1).
bool needsWide(QStringView s);
void putChars(QByteArray& b, QStringView s, bool wide);
// A string with its length in one byte (names) or two (formats).
QByteArray unicodeString(QStringView s, bool shortLength);
// Border line kinds by pen width in millimetres: thin, medium, thick.
quint32 borderKind(double width);
// A date and time format of the report as the spreadsheet's format code.
QString dateCode(const DisplayFormat& format, const QLocale& locale);

// The older format's colours are a palette of 56 entries; the report's colours fill it in the
// order they appear, and any beyond take the nearest entry.
class ColourPalette {
public:
    ColourPalette();
    quint16 index(const QColor& colour);
    QByteArray record() const;

private:
    std::vector<QRgb> m_colours;
};

} // namespace Xls
