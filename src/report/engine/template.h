#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
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


enum class ObjectKind { Text, Line, Rectangle, Picture, CheckBox, Subreport, Barcode, Chart };
enum class BarcodeKind { Qr, Code128, Ean13, DataMatrix, Code39 };
enum class ChartKind { Bar, Line, Pie };

// A value held through a pointer, so that a type may hold itself (a sub-report's bands hold
// objects); copied and compared by what it holds.
template <class T>
class Boxed {
public:
    Boxed() = default;
    Boxed(const Boxed& other) : m_value(other.m_value ? std::make_unique<T>(*other.m_value) : nullptr) {}
    Boxed(Boxed&&) noexcept = default;
    Boxed& operator=(const Boxed& other)
    {
        if (this != &other)
            m_value = other.m_value ? std::make_unique<T>(*other.m_value) : nullptr;
        return *this;
    }
    Boxed& operator=(Boxed&&) noexcept = default;
    bool operator==(const Boxed& other) const
    {
        return m_value && other.m_value ? *m_value == *other.m_value : !m_value && !other.m_value;
    }
    explicit operator bool() const { return m_value != nullptr; }
    T& emplace() { m_value = std::make_unique<T>(); return *m_value; }
    void reset() { m_value.reset(); }
    T& operator*() const { return *m_value; }
    T* operator->() const { return m_value.get(); }

private:
    std::unique_ptr<T> m_value;
};

struct Subreport;

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
    // A sub-report: its query, parameters and bands; the object's name names its data.
    Boxed<Subreport> subreport;
    BarcodeKind barcode = BarcodeKind::Qr;
    ChartKind chart = ChartKind::Bar;
    QString category; // chart: what each row counts towards
    std::vector<QColor> colors; // chart: bars, line and slices (empty: the house palette)
    bool legend = true; // chart
    QString visible; // an expression; empty: always shown
    std::vector<StyleRule> rules; // texts only
    bool operator==(const ReportObject&) const = default;
};

enum class BandKind { ReportTitle, PageHeader, GroupHeader, Detail, GroupFooter, PageFooter, Summary };

// How rows laid out in columns fill them: a row of cells at a time, or a column at a time.
enum class ColumnOrder { Across, Down };

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 10;
    bool canGrow = false;
    bool keepTogether = false;
    QString visible; // an expression; empty: always shown. A hidden band takes no room.
    std::vector<ReportObject> objects;
    // The report's detail band only: rows side by side in columns of equal width.
    int columns = 1;
    double columnSpacing = 0;
    ColumnOrder columnOrder = ColumnOrder::Across;
    bool operator==(const Band&) const = default;
};

// A value the sub-report's query takes as the parameter ":name", from an expression over the
// row of the band the sub-report stands in.
struct SubreportParameter {
    QString name;
    QString value;
    bool operator==(const SubreportParameter&) const = default;
};

// The rows of a query of its own laid out inside a band, once for each row the band is made for,
// with a header above them and a footer below.
struct Subreport {
    QString query;
    std::vector<SubreportParameter> parameters;
    std::optional<Band> header;
    std::optional<Band> detail;
    std::optional<Band> footer;
    bool repeatHeader = false; // the header again at the top of every page its rows run onto
    bool operator==(const Subreport&) const = default;
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

struct PageSetup;

// A sheet of address labels: the paper, where the first label stands, the labels' size and
// the gap between columns (rows of labels touch).
struct LabelSheet {
    const char* code;
    PageSizeName paper;
    int columns, rows;
    double labelWidth, labelHeight;
    double marginLeft, marginTop, columnGap;

    // The sheets known by their codes: L7160, L7161, L7163 (A4), 5160, 5163 (Letter).
    static const LabelSheet* find(const QString& code);
    static QStringList codes();
    // Gives the page this sheet's paper and margins.
    void applyTo(PageSetup& page) const;
};

struct PageSetup {
    PageSizeName size = PageSizeName::A4;
    double width = 210; // of a portrait sheet; kept for every size
    double height = 297;
    Orientation orientation = Orientation::Portrait;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    // A sheet of address labels by its code (empty: none); the sheet gives the paper, the
    // margins and the detail band's columns, and each row takes one label.
    QString labels;
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
    // The newest format version this program reads.
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
    // The oldest format version that holds everything the template uses: a template without
    // sub-reports, columns or labels is written as version 1, which older programs read.
    int neededVersion() const;
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
    // Sub-reports inside sub-reports: each level runs a statement per row of the one above.
    static constexpr int maxSubreportDepth = 4;

    // Throws FormatError "<source>, line L, column C: ..." for anything it cannot take.
    static ReportTemplate read(const QByteArray& xml, const QString& source);
    static ReportTemplate readFile(const QString& path);
    static QByteArray write(const ReportTemplate& report);
    static void writeFile(const ReportTemplate& report, const QString& path);
};
