#include "report/ui/designer_properties.h"

#include <algorithm>
#include <optional>

QVariant colorValue(const QColor& c)
{
    if (!c.isValid())
        return QString();
    return c.alpha() == 255 ? c.name(QColor::HexRgb) : c.name(QColor::HexArgb);
}

namespace {

using Editor = DesignerProperty::Editor;
using Scope = DesignerProperty::Scope;
using Target = DesignerProperty::Target;

// An empty text is "none" where none is allowed; a text that is no colour changes nothing.
std::optional<QColor> colorOf(const QVariant& v, bool noneAllowed)
{
    const QString s = v.toString().trimmed();
    if (s.isEmpty())
        return noneAllowed ? std::optional<QColor>(QColor()) : std::nullopt;
    const QColor c = QColor::fromString(s);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

bool isText(ObjectKind k) { return k == ObjectKind::Text; }
// Charts write their labels and legend with a font and a colour of their own.
bool hasFont(ObjectKind k) { return k == ObjectKind::Text || k == ObjectKind::Chart; }
bool isChart(ObjectKind k) { return k == ObjectKind::Chart; }

QVariant colorsValue(const std::vector<QColor>& colors)
{
    QStringList names;
    for (const QColor& c : colors)
        names << colorValue(c).toString();
    return names.join(u' ');
}

// What the panel shows of the properties edited in windows of their own.
QString parametersSummary(const std::vector<ReportParameter>& parameters)
{
    QStringList names;
    for (const ReportParameter& p : parameters)
        names << p.name;
    return names.join(QStringLiteral(", "));
}

QString rulesSummary(const std::vector<StyleRule>& rules)
{
    QStringList conditions;
    for (const StyleRule& r : rules)
        conditions << r.condition;
    return conditions.join(QStringLiteral("; "));
}

DesignerProperty objectProperty(QString key, const char* caption, Editor editor, std::function<bool(ObjectKind)> applies,
                                std::function<QVariant(const ReportObject&)> get,
                                std::function<void(ReportObject&, const QVariant&)> set,
                                std::vector<const char*> choices = {})
{
    DesignerProperty p;
    p.key = std::move(key);
    p.caption = caption;
    p.editor = editor;
    p.scope = Scope::Object;
    p.choices = std::move(choices);
    p.applies = applies ? std::move(applies) : [](ObjectKind) { return true; };
    p.get = [get](const ReportTemplate& t, const Target& target) {
        const ReportObject* o = findObject(t, target.object);
        return o ? get(*o) : QVariant();
    };
    p.set = [set, applies = p.applies](ReportTemplate& t, const Target& target, const QVariant& v) {
        if (ReportObject* o = findObject(t, target.object); o && applies(o->kind))
            set(*o, v);
    };
    return p;
}

DesignerProperty bandProperty(QString key, const char* caption, Editor editor, std::function<QVariant(const Band&)> get,
                              std::function<void(Band&, const QVariant&)> set)
{
    DesignerProperty p;
    p.key = std::move(key);
    p.caption = caption;
    p.editor = editor;
    p.scope = Scope::Band;
    p.get = [get](const ReportTemplate& t, const Target& target) {
        const Band* b = findBand(t, target.band);
        return b ? get(*b) : QVariant();
    };
    p.set = [set](ReportTemplate& t, const Target& target, const QVariant& v) {
        if (Band* b = findBand(t, target.band))
            set(*b, v);
    };
    return p;
}

DesignerProperty groupProperty(QString key, const char* caption, Editor editor,
                               std::function<QVariant(const ReportGroup&)> get,
                               std::function<void(ReportGroup&, const QVariant&)> set)
{
    DesignerProperty p;
    p.key = std::move(key);
    p.caption = caption;
    p.editor = editor;
    p.scope = Scope::Group;
    p.get = [get](const ReportTemplate& t, const Target& target) {
        const int g = target.band.group;
        return g >= 0 && g < int(t.groups.size()) ? get(t.groups[size_t(g)]) : QVariant();
    };
    p.set = [set](ReportTemplate& t, const Target& target, const QVariant& v) {
        const int g = target.band.group;
        if (g >= 0 && g < int(t.groups.size()))
            set(t.groups[size_t(g)], v);
    };
    return p;
}

DesignerProperty pageProperty(QString key, const char* caption, Editor editor,
                              std::function<QVariant(const ReportTemplate&)> get,
                              std::function<void(ReportTemplate&, const QVariant&)> set,
                              std::vector<const char*> choices = {})
{
    DesignerProperty p;
    p.key = std::move(key);
    p.caption = caption;
    p.editor = editor;
    p.scope = Scope::Page;
    p.choices = std::move(choices);
    p.get = [get](const ReportTemplate& t, const Target&) { return get(t); };
    p.set = [set](ReportTemplate& t, const Target&, const QVariant& v) { set(t, v); };
    return p;
}

// A side of the frame: its width and its colour are two properties.
void addFrame(std::vector<DesignerProperty>& out, const char* key, const char* caption, const char* colorCaption,
              FrameSide TextStyle::*side)
{
    out.push_back(objectProperty(QString::fromLatin1(key), caption, Editor::Mm, isText,
                                 [side](const ReportObject& o) { return (o.style.*side).width; },
                                 [side](ReportObject& o, const QVariant& v) { (o.style.*side).width = std::max(0.0, v.toDouble()); }));
    out.push_back(objectProperty(QString::fromLatin1(key) + QStringLiteral("-color"), colorCaption, Editor::Color, isText,
                                 [side](const ReportObject& o) { return colorValue((o.style.*side).color); },
                                 [side](ReportObject& o, const QVariant& v) {
                                     if (auto c = colorOf(v, false))
                                         (o.style.*side).color = *c;
                                 }));
}

std::vector<DesignerProperty> makeProperties()
{
    std::vector<DesignerProperty> out;
    // The page.
    out.push_back(pageProperty(QStringLiteral("name"), "Report name", Editor::Text,
                               [](const ReportTemplate& t) { return t.name; },
                               [](ReportTemplate& t, const QVariant& v) { t.name = v.toString(); }));
    out.push_back(pageProperty(QStringLiteral("size"), "Paper size", Editor::Choice,
                               [](const ReportTemplate& t) { return int(t.page.size); },
                               [](ReportTemplate& t, const QVariant& v) {
                                   t.page.size = PageSizeName(std::clamp(v.toInt(), 0, 3));
                                   t.page.applySize(t.page.size);
                               },
                               {"A4", "A5", "Letter", "Custom size"}));
    out.push_back(pageProperty(QStringLiteral("width"), "Width, mm", Editor::Mm,
                               [](const ReportTemplate& t) { return t.page.width; },
                               [](ReportTemplate& t, const QVariant& v) {
                                   t.page.size = PageSizeName::Custom;
                                   t.page.width = std::max(10.0, v.toDouble());
                               }));
    out.push_back(pageProperty(QStringLiteral("height"), "Height, mm", Editor::Mm,
                               [](const ReportTemplate& t) { return t.page.height; },
                               [](ReportTemplate& t, const QVariant& v) {
                                   t.page.size = PageSizeName::Custom;
                                   t.page.height = std::max(10.0, v.toDouble());
                               }));
    out.push_back(pageProperty(QStringLiteral("orientation"), "Orientation", Editor::Choice,
                               [](const ReportTemplate& t) { return int(t.page.orientation); },
                               [](ReportTemplate& t, const QVariant& v) { t.page.orientation = Orientation(std::clamp(v.toInt(), 0, 1)); },
                               {"Portrait", "Landscape"}));
    const struct {
        const char* key;
        const char* caption;
        double PageSetup::*field;
    } margins[] = {{"margin-left", "Margin left, mm", &PageSetup::marginLeft},
                   {"margin-top", "Margin top, mm", &PageSetup::marginTop},
                   {"margin-right", "Margin right, mm", &PageSetup::marginRight},
                   {"margin-bottom", "Margin bottom, mm", &PageSetup::marginBottom}};
    for (const auto& m : margins) {
        auto field = m.field;
        out.push_back(pageProperty(QString::fromLatin1(m.key), m.caption, Editor::Mm,
                                   [field](const ReportTemplate& t) { return t.page.*field; },
                                   [field](ReportTemplate& t, const QVariant& v) { t.page.*field = std::max(0.0, v.toDouble()); }));
    }
    out.push_back(pageProperty(QStringLiteral("labels"), "Label sheet", Editor::Choice,
                               [](const ReportTemplate& t) {
                                   return t.page.labels.isEmpty() ? 0 : int(LabelSheet::codes().indexOf(t.page.labels)) + 1;
                               },
                               [](ReportTemplate& t, const QVariant& v) {
                                   const QStringList codes = LabelSheet::codes();
                                   const int i = v.toInt() - 1;
                                   if (i >= 0 && i < codes.size())
                                       LabelSheet::find(codes[i])->applyTo(t.page);
                                   else
                                       t.page.labels.clear();
                                   if (!t.page.labels.isEmpty() && t.detail) {
                                       t.detail->columns = 1;
                                       t.detail->columnSpacing = 0;
                                       t.detail->columnOrder = ColumnOrder::Across;
                                   }
                               },
                               {"none", "L7160", "L7161", "L7163", "5160", "5163"}));
    out.push_back(pageProperty(QStringLiteral("parameters"), "Parameters", Editor::Dialog,
                               [](const ReportTemplate& t) { return parametersSummary(t.parameters); },
                               [](ReportTemplate&, const QVariant&) {}));
    out.push_back(pageProperty(QStringLiteral("query"), "Query", Editor::Sql,
                               [](const ReportTemplate& t) { return t.query; },
                               [](ReportTemplate& t, const QVariant& v) { t.query = v.toString(); }));

    // Bands and their groups.
    out.push_back(bandProperty(QStringLiteral("height"), "Height, mm", Editor::Mm, [](const Band& b) { return b.height; },
                               [](Band& b, const QVariant& v) { b.height = std::max(0.0, v.toDouble()); }));
    out.push_back(bandProperty(QStringLiteral("can-grow"), "Can grow", Editor::Bool, [](const Band& b) { return b.canGrow; },
                               [](Band& b, const QVariant& v) { b.canGrow = v.toBool(); }));
    out.push_back(bandProperty(QStringLiteral("keep-together"), "Keep together", Editor::Bool,
                               [](const Band& b) { return b.keepTogether; },
                               [](Band& b, const QVariant& v) { b.keepTogether = v.toBool(); }));
    // The report's detail band only (see propertiesFor).
    out.push_back(bandProperty(QStringLiteral("columns"), "Columns", Editor::Choice, [](const Band& b) { return b.columns - 1; },
                               [](Band& b, const QVariant& v) { b.columns = std::clamp(v.toInt() + 1, 1, 8); }));
    out.back().choices = {"1", "2", "3", "4", "5", "6", "7", "8"};
    out.push_back(bandProperty(QStringLiteral("column-spacing"), "Column spacing, mm", Editor::Mm,
                               [](const Band& b) { return b.columnSpacing; },
                               [](Band& b, const QVariant& v) { b.columnSpacing = std::max(0.0, v.toDouble()); }));
    out.push_back(bandProperty(QStringLiteral("column-order"), "Column order", Editor::Choice,
                               [](const Band& b) { return int(b.columnOrder); },
                               [](Band& b, const QVariant& v) { b.columnOrder = ColumnOrder(std::clamp(v.toInt(), 0, 1)); }));
    out.back().choices = {"Across, then down", "Down, then across"};
    out.push_back(bandProperty(QStringLiteral("band-visible"), "Visible when", Editor::Expression,
                               [](const Band& b) { return b.visible; },
                               [](Band& b, const QVariant& v) { b.visible = v.toString().trimmed(); }));
    out.push_back(groupProperty(QStringLiteral("group-name"), "Group name", Editor::Text,
                                [](const ReportGroup& g) { return g.name; },
                                [](ReportGroup& g, const QVariant& v) { g.name = v.toString().trimmed(); }));
    out.push_back(groupProperty(QStringLiteral("expression"), "Group expression", Editor::Expression,
                                [](const ReportGroup& g) { return g.expression; },
                                [](ReportGroup& g, const QVariant& v) { g.expression = v.toString(); }));
    out.push_back(groupProperty(QStringLiteral("new-page"), "New page", Editor::Bool,
                                [](const ReportGroup& g) { return g.newPage; },
                                [](ReportGroup& g, const QVariant& v) { g.newPage = v.toBool(); }));
    out.push_back(groupProperty(QStringLiteral("repeat-header"), "Repeat header", Editor::Bool,
                                [](const ReportGroup& g) { return g.repeatHeader; },
                                [](ReportGroup& g, const QVariant& v) { g.repeatHeader = v.toBool(); }));
    out.push_back(groupProperty(QStringLiteral("group-keep-together"), "Keep group together", Editor::Bool,
                                [](const ReportGroup& g) { return g.keepTogether; },
                                [](ReportGroup& g, const QVariant& v) { g.keepTogether = v.toBool(); }));
    out.push_back(groupProperty(QStringLiteral("reset-page-numbers"), "Page numbers per group", Editor::Bool,
                                [](const ReportGroup& g) { return g.resetPageNumbers; },
                                [](ReportGroup& g, const QVariant& v) { g.resetPageNumbers = v.toBool(); }));

    // Objects.
    out.push_back(objectProperty(QStringLiteral("name"), "Name", Editor::Text, nullptr,
                                 [](const ReportObject& o) { return o.name; },
                                 [](ReportObject& o, const QVariant& v) {
                                     const QString name = v.toString().trimmed();
                                     if (o.subreport) {
                                         // Its texts call its rows by its name; a name the file
                                         // would not read back is not taken.
                                         if (!validSubreportName(name))
                                             return;
                                         renameSubreportFields(*o.subreport, o.name, name);
                                     }
                                     o.name = name;
                                 }));
    const struct {
        const char* key;
        const char* caption;
    } geometry[] = {{"x", "Left, mm"}, {"y", "Top, mm"}, {"width", "Width, mm"}, {"height", "Height, mm"}};
    for (int i = 0; i < 4; ++i) {
        out.push_back(objectProperty(
            QString::fromLatin1(geometry[i].key), geometry[i].caption, Editor::Mm, nullptr,
            [i](const ReportObject& o) {
                const double values[] = {o.rect.x(), o.rect.y(), o.rect.width(), o.rect.height()};
                return values[i];
            },
            [i](ReportObject& o, const QVariant& v) {
                const double d = hundredths(v.toDouble());
                switch (i) {
                case 0: o.rect.moveLeft(d); break;
                case 1: o.rect.moveTop(d); break;
                case 2: o.rect.setWidth(std::max(0.0, d)); break;
                default: o.rect.setHeight(std::max(0.0, d)); break;
                }
            }));
    }
    const auto isSubreport = [](ObjectKind k) { return k == ObjectKind::Subreport; };
    out.push_back(objectProperty(QStringLiteral("subreport-query"), "Query", Editor::Sql, isSubreport,
                                 [](const ReportObject& o) { return o.subreport ? o.subreport->query : QString(); },
                                 [](ReportObject& o, const QVariant& v) {
                                     if (o.subreport)
                                         o.subreport->query = v.toString();
                                 }));
    out.push_back(objectProperty(QStringLiteral("subreport-repeat-header"), "Repeat header", Editor::Bool, isSubreport,
                                 [](const ReportObject& o) { return o.subreport && o.subreport->repeatHeader; },
                                 [](ReportObject& o, const QVariant& v) {
                                     if (o.subreport)
                                         o.subreport->repeatHeader = v.toBool();
                                 }));
    // One parameter a line: "name = expression".
    out.push_back(objectProperty(
        QStringLiteral("parameters"), "Parameters", Editor::Sql, isSubreport,
        [](const ReportObject& o) {
            QStringList lines;
            if (o.subreport)
                for (const SubreportParameter& p : o.subreport->parameters)
                    lines << p.name + QStringLiteral(" = ") + p.value;
            return lines.join(u'\n');
        },
        [](ReportObject& o, const QVariant& v) {
            if (!o.subreport)
                return;
            std::vector<SubreportParameter> parameters;
            for (const QString& line : v.toString().split(u'\n', Qt::SkipEmptyParts)) {
                const qsizetype eq = line.indexOf(u'=');
                const QString name = line.left(eq).trimmed();
                const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
                if (!name.isEmpty() && !value.isEmpty())
                    parameters.push_back({name, value});
            }
            o.subreport->parameters = parameters;
        }));
    out.push_back(objectProperty(QStringLiteral("visible"), "Visible when", Editor::Expression, nullptr,
                                 [](const ReportObject& o) { return o.visible; },
                                 [](ReportObject& o, const QVariant& v) { o.visible = v.toString().trimmed(); }));
    out.push_back(objectProperty(QStringLiteral("rules"), "Style rules", Editor::Dialog, isText,
                                 [](const ReportObject& o) { return rulesSummary(o.rules); },
                                 [](ReportObject&, const QVariant&) {}));
    out.push_back(objectProperty(QStringLiteral("text"), "Text", Editor::TextExpression, isText,
                                 [](const ReportObject& o) { return o.text; },
                                 [](ReportObject& o, const QVariant& v) { o.text = v.toString(); }));
    out.push_back(objectProperty(
        QStringLiteral("value"), "Value", Editor::Expression,
        // A sub-report's rows come from its query: it has no value of its own.
        [](ObjectKind k) {
            return k != ObjectKind::Text && k != ObjectKind::Line && k != ObjectKind::Rectangle && k != ObjectKind::Subreport;
        },
        [](const ReportObject& o) { return o.text; }, [](ReportObject& o, const QVariant& v) { o.text = v.toString().trimmed(); }));
    out.push_back(objectProperty(
        QStringLiteral("barcode-kind"), "Barcode kind", Editor::Choice, [](ObjectKind k) { return k == ObjectKind::Barcode; },
        [](const ReportObject& o) { return int(o.barcode); },
        [](ReportObject& o, const QVariant& v) { o.barcode = BarcodeKind(std::clamp(v.toInt(), 0, 4)); },
        {"QR Code", "Code 128", "EAN-13", "Data Matrix", "Code 39"}));
    out.push_back(objectProperty(
        QStringLiteral("chart-kind"), "Chart kind", Editor::Choice, isChart, [](const ReportObject& o) { return int(o.chart); },
        [](ReportObject& o, const QVariant& v) { o.chart = ChartKind(std::clamp(v.toInt(), 0, 2)); }, {"Bars", "Line", "Pie"}));
    out.push_back(objectProperty(QStringLiteral("category"), "Category", Editor::Expression, isChart,
                                 [](const ReportObject& o) { return o.category; },
                                 [](ReportObject& o, const QVariant& v) { o.category = v.toString().trimmed(); }));
    // Colours apart by spaces; a word that is no colour leaves them as they were.
    out.push_back(objectProperty(QStringLiteral("colors"), "Colours", Editor::Text, isChart,
                                 [](const ReportObject& o) { return colorsValue(o.colors); },
                                 [](ReportObject& o, const QVariant& v) {
                                     std::vector<QColor> colors;
                                     for (const QString& word : v.toString().split(u' ', Qt::SkipEmptyParts)) {
                                         const auto c = colorOf(word, false);
                                         if (!c)
                                             return;
                                         colors.push_back(*c);
                                     }
                                     o.colors = colors;
                                 }));
    out.push_back(objectProperty(QStringLiteral("legend"), "Legend", Editor::Bool, isChart,
                                 [](const ReportObject& o) { return o.legend; },
                                 [](ReportObject& o, const QVariant& v) { o.legend = v.toBool(); }));
    out.push_back(objectProperty(
        QStringLiteral("file"), "Picture file", Editor::File, [](ObjectKind k) { return k == ObjectKind::Picture; },
        [](const ReportObject& o) { return o.file; }, [](ReportObject& o, const QVariant& v) { o.file = v.toString().trimmed(); }));
    out.push_back(objectProperty(
        QStringLiteral("keep-aspect"), "Keep aspect", Editor::Bool, [](ObjectKind k) { return k == ObjectKind::Picture; },
        [](const ReportObject& o) { return o.keepAspect; }, [](ReportObject& o, const QVariant& v) { o.keepAspect = v.toBool(); }));
    out.push_back(objectProperty(QStringLiteral("format"), "Display format", Editor::Text, hasFont,
                                 [](const ReportObject& o) { return o.format; },
                                 [](ReportObject& o, const QVariant& v) { o.format = v.toString().trimmed(); }));
    out.push_back(objectProperty(QStringLiteral("font"), "Font", Editor::Font, hasFont,
                                 [](const ReportObject& o) { return o.style.font.family; },
                                 [](ReportObject& o, const QVariant& v) {
                                     if (!v.toString().trimmed().isEmpty())
                                         o.style.font.family = v.toString().trimmed();
                                 }));
    out.push_back(objectProperty(QStringLiteral("size"), "Size, pt", Editor::Points, hasFont,
                                 [](const ReportObject& o) { return o.style.font.size; },
                                 [](ReportObject& o, const QVariant& v) { o.style.font.size = std::max(1.0, v.toDouble()); }));
    out.push_back(objectProperty(QStringLiteral("bold"), "Bold", Editor::Bool, hasFont,
                                 [](const ReportObject& o) { return o.style.font.bold; },
                                 [](ReportObject& o, const QVariant& v) { o.style.font.bold = v.toBool(); }));
    out.push_back(objectProperty(QStringLiteral("italic"), "Italic", Editor::Bool, hasFont,
                                 [](const ReportObject& o) { return o.style.font.italic; },
                                 [](ReportObject& o, const QVariant& v) { o.style.font.italic = v.toBool(); }));
    out.push_back(objectProperty(QStringLiteral("underline"), "Underline", Editor::Bool, isText,
                                 [](const ReportObject& o) { return o.style.font.underline; },
                                 [](ReportObject& o, const QVariant& v) { o.style.font.underline = v.toBool(); }));
    // A text's and a chart's colour is their letters'; a line's, a rectangle's and a check box's
    // is their pen's, a barcode's its bars'.
    out.push_back(objectProperty(
        QStringLiteral("color"), "Colour", Editor::Color, nullptr,
        [](const ReportObject& o) { return colorValue(hasFont(o.kind) ? o.style.color : o.lineColor); },
        [](ReportObject& o, const QVariant& v) {
            if (auto c = colorOf(v, false))
                (hasFont(o.kind) ? o.style.color : o.lineColor) = *c;
        }));
    out.back().applies = [](ObjectKind k) { return k != ObjectKind::Picture && k != ObjectKind::Subreport; };
    out.push_back(objectProperty(QStringLiteral("background"), "Background", Editor::Color, isText,
                                 [](const ReportObject& o) { return colorValue(o.style.background); },
                                 [](ReportObject& o, const QVariant& v) {
                                     if (auto c = colorOf(v, true))
                                         o.style.background = *c;
                                 }));
    addFrame(out, "frame-left", "Frame left, mm", "Frame left colour", &TextStyle::left);
    addFrame(out, "frame-top", "Frame top, mm", "Frame top colour", &TextStyle::top);
    addFrame(out, "frame-right", "Frame right, mm", "Frame right colour", &TextStyle::right);
    addFrame(out, "frame-bottom", "Frame bottom, mm", "Frame bottom colour", &TextStyle::bottom);
    out.push_back(objectProperty(QStringLiteral("align"), "Alignment", Editor::Choice, isText,
                                 [](const ReportObject& o) { return int(o.style.hAlign); },
                                 [](ReportObject& o, const QVariant& v) { o.style.hAlign = HAlign(std::clamp(v.toInt(), 0, 3)); },
                                 {"Left", "Centre", "Right", "Justified"}));
    out.push_back(objectProperty(QStringLiteral("valign"), "Vertical alignment", Editor::Choice, isText,
                                 [](const ReportObject& o) { return int(o.style.vAlign); },
                                 [](ReportObject& o, const QVariant& v) { o.style.vAlign = VAlign(std::clamp(v.toInt(), 0, 2)); },
                                 {"Top", "Middle", "Bottom"}));
    out.push_back(objectProperty(QStringLiteral("wrap"), "Word wrap", Editor::Bool, isText,
                                 [](const ReportObject& o) { return o.style.wordWrap; },
                                 [](ReportObject& o, const QVariant& v) { o.style.wordWrap = v.toBool(); }));
    out.push_back(objectProperty(
        QStringLiteral("line-width"), "Line width, mm", Editor::Mm,
        [](ObjectKind k) { return k == ObjectKind::Line || k == ObjectKind::Rectangle || k == ObjectKind::CheckBox; },
        [](const ReportObject& o) { return o.lineWidth; },
        [](ReportObject& o, const QVariant& v) { o.lineWidth = std::max(0.0, v.toDouble()); }));
    out.push_back(objectProperty(
        QStringLiteral("fill"), "Fill", Editor::Color,
        [](ObjectKind k) { return k == ObjectKind::Rectangle || k == ObjectKind::Barcode; },
        [](const ReportObject& o) { return colorValue(o.fill); },
        [](ReportObject& o, const QVariant& v) {
            if (auto c = colorOf(v, true))
                o.fill = *c;
        }));
    return out;
}

} // namespace

const std::vector<DesignerProperty>& designerProperties()
{
    static const std::vector<DesignerProperty> properties = makeProperties();
    return properties;
}

std::vector<const DesignerProperty*> propertiesFor(const ReportTemplate& t, const DesignerSelection& selection,
                                                   bool inSubreport)
{
    std::vector<const DesignerProperty*> out;
    const ReportObject* first = selection.objects.empty() ? nullptr : findObject(t, selection.objects.front());
    const bool groupBand = selection.band && (selection.band->kind == BandKind::GroupHeader
                                              || selection.band->kind == BandKind::GroupFooter);
    for (const DesignerProperty& p : designerProperties()) {
        switch (p.scope) {
        case Scope::Page:
            if (!first && !selection.band)
                out.push_back(&p);
            break;
        case Scope::Band:
            // Columns belong to the report's detail band alone.
            if (!first && selection.band
                && (!p.key.startsWith(QStringLiteral("column"))
                    || (selection.band->kind == BandKind::Detail && !inSubreport)))
                out.push_back(&p);
            break;
        case Scope::Group:
            if (!first && groupBand)
                out.push_back(&p);
            break;
        case Scope::Object:
            if (first && p.applies(first->kind))
                out.push_back(&p);
            break;
        }
    }
    return out;
}

void applyProperty(ReportTemplate& t, const DesignerSelection& selection, const DesignerProperty& property,
                   const QVariant& value)
{
    Target target;
    switch (property.scope) {
    case Scope::Page: property.set(t, target, value); break;
    case Scope::Band:
    case Scope::Group:
        if (selection.band) {
            target.band = *selection.band;
            property.set(t, target, value);
        }
        break;
    case Scope::Object:
        for (const ObjectRef& ref : selection.objects) {
            target.object = ref;
            property.set(t, target, value);
        }
        break;
    }
}

QVariant propertyValue(const ReportTemplate& t, const DesignerSelection& selection, const DesignerProperty& property)
{
    Target target;
    if (selection.band)
        target.band = *selection.band;
    if (!selection.objects.empty())
        target.object = selection.objects.front();
    return property.get(t, target);
}
