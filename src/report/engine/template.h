#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The template: plain values a designer can copy, compare and change under an undo stack.
// Every length is in millimetres.

struct FontSpec {
    QString family = QStringLiteral("DejaVu Sans");
    double size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

struct FrameSide {
    double width = 0; // 0: no line
    QColor color = Qt::black;
    bool operator==(const FrameSide&) const = default;
};

enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Top, Middle, Bottom };

struct TextStyle {
    FontSpec font;
    QColor color = Qt::black;
    QColor background; // invalid: transparent
    FrameSide left, top, right, bottom;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    bool wordWrap = false;
    bool operator==(const TextStyle&) const = default;
};

enum class ObjectKind { Text, Line, Rectangle, Picture, CheckBox, Barcode, Chart };
enum class BarcodeKind { Qr, Code128, Ean13, DataMatrix, Code39 };
enum class ChartKind { Bar, Line, Pie };

struct ReportObject {
    ObjectKind kind = ObjectKind::Text;
    QString name;
    QRectF rect; // within the band; a line runs from the top left to the bottom right corner
    // Text: literal text with embedded [expressions]. Picture, check box, barcode and chart: the
    // value expression (a BLOB field, a condition, the data, the number). Empty for lines and
    // rectangles.
    QString text;
    QString format; // display format of the embedded values
    TextStyle style;
    // Lines and rectangles: pen and fill; check boxes: pen.
    double lineWidth = 0.2;
    QColor lineColor = Qt::black;
    QColor fill; // invalid: none
    QString file; // picture from a file of the project folder
    bool keepAspect = true;
    BarcodeKind barcode = BarcodeKind::Qr;
    ChartKind chart = ChartKind::Bar;
    QString category; // chart: what each row counts towards
    std::vector<QColor> colors; // chart: bars, line and slices (empty: the house palette)
    bool legend = true; // chart
    bool operator==(const ReportObject&) const = default;
};

enum class BandKind { ReportTitle, PageHeader, GroupHeader, Detail, GroupFooter, PageFooter, Summary };

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 10;
    bool canGrow = false;
    bool keepTogether = false;
    std::vector<ReportObject> objects;
    bool operator==(const Band&) const = default;
};

// A group of rows sharing the value of an expression; groups nest from outer to inner.
struct ReportGroup {
    QString name;
    QString expression;
    bool newPage = false;
    bool repeatHeader = false;
    bool keepTogether = false;
    std::optional<Band> header;
    std::optional<Band> footer;
    bool operator==(const ReportGroup&) const = default;
};

enum class PageSizeName { A4, A5, Letter, Custom };
enum class Orientation { Portrait, Landscape };

struct PageSetup {
    PageSizeName size = PageSizeName::A4;
    double width = 210; // of a portrait sheet; kept for every size
    double height = 297;
    Orientation orientation = Orientation::Portrait;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    bool operator==(const PageSetup&) const = default;

    // The sheet as printed, after orientation.
    double pageWidth() const;
    double pageHeight() const;
    // The width and height of a named size (Custom: unchanged).
    void applySize(PageSizeName name);
};

class ReportTemplate {
public:
    static constexpr int formatVersion = 2;

    QString name;
    PageSetup page;
    QString query; // optional, for batch runs
    std::optional<Band> title;
    std::optional<Band> pageHeader;
    std::vector<ReportGroup> groups; // outermost first
    std::optional<Band> detail;
    std::optional<Band> pageFooter;
    std::optional<Band> summary;

    bool operator==(const ReportTemplate&) const = default;
    bool isEmpty() const;
    // The groups' names, outermost first: what an aggregate's scope is named by.
    QStringList groupNames() const;
};

// The template file format: reading refuses what it does not know, naming line and column;
// writing gives back what reading takes in.
class ReportTemplateFormat {
public:
    // Refused before parsing: no template needs more.
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;
    static constexpr size_t maxGroups = 32;

    // Throws FormatError "<source>, line L, column C: ..." for anything it cannot take.
    static ReportTemplate read(const QByteArray& xml, const QString& source);
    static ReportTemplate readFile(const QString& path);
    static QByteArray write(const ReportTemplate& report);
    static void writeFile(const ReportTemplate& report, const QString& path);
};
