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

// A change of a text's look while a condition holds (an amount below zero in red). The rules
// of a text apply in their order, a later one over an earlier one.
struct StyleRule {
    QString condition;
    QColor color;      // invalid: unchanged
    QColor background; // invalid: unchanged
    std::optional<bool> bold, italic;
    bool operator==(const StyleRule&) const = default;
};

enum class ObjectKind { Text, Line, Rectangle, Picture, CheckBox };

struct ReportObject {
    ObjectKind kind = ObjectKind::Text;
    QString name;
    QRectF rect; // within the band; a line runs from the top left to the bottom right corner
    // Text: literal text with embedded [expressions]. Picture and check box: the value
    // expression (a BLOB field, a condition). Empty for lines and rectangles.
    QString text;
    QString format; // display format of the embedded values
    TextStyle style;
    // Lines and rectangles: pen and fill; check boxes: pen.
    double lineWidth = 0.2;
    QColor lineColor = Qt::black;
    QColor fill; // invalid: none
    QString file; // picture from a file of the project folder
    bool keepAspect = true;
    QString visible; // an expression; empty: always shown
    std::vector<StyleRule> rules; // texts only
    bool operator==(const ReportObject&) const = default;
};

enum class BandKind { ReportTitle, PageHeader, GroupHeader, Detail, GroupFooter, PageFooter, Summary };

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 10;
    bool canGrow = false;
    bool keepTogether = false;
    QString visible; // an expression; empty: always shown. A hidden band takes no room.
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
    bool resetPageNumbers = false; // Page and TotalPages count the pages of each group apart
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

enum class ParameterKind { Text, Integer, Number, Date, Boolean, Choice };

// A value the report asks for before its query runs; the query binds it as ":name", texts
// show it as Param.name.
struct ReportParameter {
    QString name;
    QString caption;
    ParameterKind kind = ParameterKind::Text;
    QString defaultValue; // as written: 12, 3.5, 2024-03-31, true; empty: none
    QString query;        // Choice: the values in its first column, shown as its second if any
    bool operator==(const ReportParameter&) const = default;
};

class ReportTemplate {
public:
    static constexpr int formatVersion = 2;

    QString name;
    PageSetup page;
    std::vector<ReportParameter> parameters;
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
