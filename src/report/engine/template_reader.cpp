#include "report/engine/template_xml.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/report_parameters.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cmath>

using namespace template_xml;

namespace {

// Only the two forms the writer writes: anything else QColor takes ("red", 12-bit "#rrrgggbbb")
// would not come back the same from the writer.
QColor parseColor(QStringView text)
{
    if ((text.size() != 7 && text.size() != 9) || !text.startsWith(u'#'))
        return QColor();
    for (const QChar c : text.mid(1))
        if (c.unicode() > 127 || !std::isxdigit(c.unicode()))
            return QColor();
    return QColor::fromString(text);
}

class Reader {
public:
    Reader(const QByteArray& xml, const QString& source) : m_xml(xml), m_source(source) {}

    ReportTemplate read()
    {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement()) {
                if (m_xml.name() != u"report")
                    fail(Lang.caption("the root element must be <report>, not <%1>").arg(m_xml.name()));
                readReport();
                expectEnd();
                return m_report;
            }
        }
        checkXml();
        fail(Lang.caption("no <report> element"));
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw FormatError(Lang.caption("%1, line %2, column %3: %4")
                              .arg(m_source)
                              .arg(m_xml.lineNumber())
                              .arg(m_xml.columnNumber())
                              .arg(what));
    }

    void checkXml() const
    {
        if (m_xml.hasError())
            fail(m_xml.errorString());
    }

    void expectEnd()
    {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement())
                fail(Lang.caption("only one <report> element may stand in a template"));
        }
        checkXml();
    }

    void allowAttributes(std::initializer_list<const char16_t*> allowed)
    {
        for (const auto& a : m_xml.attributes()) {
            bool known = false;
            for (const char16_t* name : allowed)
                known = known || a.name() == QStringView(name);
            if (!known)
                fail(Lang.caption("unknown attribute \"%1\" on <%2>").arg(a.name(), m_xml.name()));
        }
    }

    bool has(const char16_t* name) const { return m_xml.attributes().hasAttribute(QString::fromUtf16(name)); }
    QString text(const char16_t* name, const QString& fallback = QString()) const
    {
        return has(name) ? m_xml.attributes().value(QString::fromUtf16(name)).toString() : fallback;
    }

    double real(const char16_t* name, double fallback) const
    {
        if (!has(name))
            return fallback;
        bool ok = false;
        const double v = m_xml.attributes().value(QString::fromUtf16(name)).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            fail(Lang.caption("\"%1\" must be a number").arg(QStringView(name)));
        return v;
    }

    double length(const char16_t* name, double fallback) const
    {
        const double v = real(name, fallback);
        if (v < 0 || v > 10000)
            fail(Lang.caption("\"%1\" must be between 0 and 10000 mm").arg(QStringView(name)));
        return v;
    }

    bool flag(const char16_t* name, bool fallback) const
    {
        if (!has(name))
            return fallback;
        const auto v = m_xml.attributes().value(QString::fromUtf16(name));
        if (v == u"true")
            return true;
        if (v == u"false")
            return false;
        fail(Lang.caption("\"%1\" must be true or false").arg(QStringView(name)));
    }

    QColor color(const char16_t* name, const QColor& fallback) const
    {
        if (!has(name))
            return fallback;
        const QColor c = parseColor(m_xml.attributes().value(QString::fromUtf16(name)));
        if (!c.isValid())
            fail(Lang.caption("\"%1\" must be a colour written #rrggbb or #aarrggbb").arg(QStringView(name)));
        return c;
    }

    template <size_t N>
    int choice(const char16_t* name, const Names (&table)[N], int fallback) const
    {
        if (!has(name))
            return fallback;
        const auto v = m_xml.attributes().value(QString::fromUtf16(name));
        QStringList allowed;
        for (const auto& n : table) {
            if (v == QLatin1StringView(n.name))
                return n.value;
            allowed << QString::fromLatin1(n.name);
        }
        fail(Lang.caption("\"%1\" must be one of %2").arg(QStringView(name), allowed.join(QStringLiteral(", "))));
    }

    // Colours apart by spaces: "#4e79a7 #f28e2b".
    std::vector<QColor> colors(const char16_t* name) const
    {
        std::vector<QColor> out;
        for (const QString& part : text(name).split(u' ', Qt::SkipEmptyParts)) {
            out.push_back(parseColor(part));
            if (!out.back().isValid())
                fail(Lang.caption("\"%1\" must be colours written #rrggbb or #aarrggbb, apart by spaces").arg(QStringView(name)));
        }
        return out;
    }

    FrameSide frameSide(const char16_t* name) const
    {
        FrameSide side;
        if (!has(name))
            return side;
        const QStringList parts = text(name).split(u' ', Qt::SkipEmptyParts);
        bool ok = parts.size() == 2;
        if (ok)
            side.width = parts[0].toDouble(&ok);
        if (ok)
            side.color = parseColor(parts[1]);
        if (!ok || !side.color.isValid() || side.width < 0)
            fail(Lang.caption("\"%1\" must be a width and a colour, e.g. \"0.2 #000000\"").arg(QStringView(name)));
        return side;
    }

    void readReport()
    {
        allowAttributes({u"version", u"name"});
        if (!has(u"version"))
            fail(Lang.caption("the <report> element has no version"));
        const double version = real(u"version", 0);
        if (version > ReportTemplate::formatVersion)
            fail(Lang.caption("the template is of format version %1, made by a newer program; this one reads "
                              "version %2 and older")
                     .arg(number(version))
                     .arg(ReportTemplate::formatVersion));
        m_report.name = text(u"name");
        bool seenPage = false, seenQuery = false, seenGroup = false, seenParameters = false;
        while (nextChild()) {
            const auto name = m_xml.name();
            if (name == u"page") {
                once(seenPage);
                readPage();
            } else if (name == u"parameters") {
                once(seenParameters);
                readParameters();
            } else if (name == u"query") {
                once(seenQuery);
                allowAttributes({});
                m_report.query = readText();
            } else if (name == u"group") {
                once(seenGroup);
                readGroup();
            } else {
                const int kind = bandKindOf(name);
                std::optional<Band>& slot = topBand(BandKind(kind));
                if (slot)
                    fail(Lang.caption("<%1> stands twice").arg(name));
                slot = readBand(BandKind(kind), kind == int(BandKind::Detail));
            }
        }
        if (!m_report.page.labels.isEmpty() && m_report.detail
            && (m_report.detail->columns != 1 || m_report.detail->columnSpacing != 0))
            fail(Lang.caption("a sheet of labels gives the detail band's columns itself"));
    }

    void once(bool& seen)
    {
        if (seen)
            fail(Lang.caption("<%1> stands twice").arg(m_xml.name()));
        seen = true;
    }

    int bandKindOf(QStringView name) const
    {
        for (const auto& n : topBands)
            if (name == QLatin1StringView(n.name))
                return n.value;
        fail(Lang.caption("unknown element <%1>").arg(name));
    }

    std::optional<Band>& topBand(BandKind kind)
    {
        switch (kind) {
        case BandKind::ReportTitle: return m_report.title;
        case BandKind::PageHeader: return m_report.pageHeader;
        case BandKind::PageFooter: return m_report.pageFooter;
        case BandKind::Summary: return m_report.summary;
        default: return m_report.detail;
        }
    }

    // Moves to the next child element of the current one; false at its end.
    bool nextChild()
    {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement())
                return true;
            if (m_xml.isEndElement())
                return false;
            if (m_xml.isCharacters() && !m_xml.isWhitespace())
                fail(Lang.caption("text is not allowed here"));
        }
        checkXml();
        fail(Lang.caption("the template ends too early"));
    }

    QString readText()
    {
        const QString s = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        checkXml();
        return s;
    }

    void readPage()
    {
        allowAttributes({u"size", u"orientation", u"width", u"height", u"margin-left", u"margin-top",
                         u"margin-right", u"margin-bottom", u"labels"});
        PageSetup& p = m_report.page;
        if (has(u"labels")) {
            p.labels = text(u"labels");
            const LabelSheet* sheet = LabelSheet::find(p.labels);
            if (!sheet)
                fail(Lang.caption("\"labels\" must be one of %1").arg(LabelSheet::codes().join(QStringLiteral(", "))));
            if (has(u"size") || has(u"orientation") || has(u"width") || has(u"height") || has(u"margin-left")
                || has(u"margin-top") || has(u"margin-right") || has(u"margin-bottom"))
                fail(Lang.caption("a sheet of labels gives the paper and the margins itself"));
            sheet->applyTo(p);
            if (nextChild())
                fail(Lang.caption("unknown element <%1> in <page>").arg(m_xml.name()));
            return;
        }
        p.applySize(PageSizeName(choice(u"size", pageSizes, int(PageSizeName::A4))));
        if (p.size == PageSizeName::Custom) {
            if (!has(u"width") || !has(u"height"))
                fail(Lang.caption("a custom page needs a width and a height"));
            p.width = length(u"width", p.width);
            p.height = length(u"height", p.height);
        } else if (has(u"width") || has(u"height")) {
            fail(Lang.caption("width and height are given only with size=\"custom\""));
        }
        p.orientation = Orientation(choice(u"orientation", orientations, int(Orientation::Portrait)));
        p.marginLeft = length(u"margin-left", p.marginLeft);
        p.marginTop = length(u"margin-top", p.marginTop);
        p.marginRight = length(u"margin-right", p.marginRight);
        p.marginBottom = length(u"margin-bottom", p.marginBottom);
        if (p.marginLeft + p.marginRight >= p.pageWidth() || p.marginTop + p.marginBottom >= p.pageHeight())
            fail(Lang.caption("the margins leave no room on the page"));
        if (nextChild())
            fail(Lang.caption("unknown element <%1> in <page>").arg(m_xml.name()));
    }

    void readParameters()
    {
        allowAttributes({});
        while (nextChild()) {
            if (m_xml.name() != u"parameter")
                fail(Lang.caption("unknown element <%1> in <parameters>").arg(m_xml.name()));
            readParameter();
        }
    }

    void readParameter()
    {
        allowAttributes({u"name", u"caption", u"kind", u"default"});
        ReportParameter p;
        p.name = text(u"name");
        if (!ReportParameters::isValidName(p.name))
            fail(Lang.caption("a parameter's name must be a letter or \"_\" followed by letters, digits or \"_\", "
                              "not \"%1\"")
                     .arg(p.name));
        for (const ReportParameter& other : m_report.parameters)
            if (other.name.compare(p.name, Qt::CaseInsensitive) == 0)
                fail(Lang.caption("the parameter \"%1\" is declared twice").arg(p.name));
        p.caption = text(u"caption");
        if (!has(u"kind"))
            fail(Lang.caption("the parameter \"%1\" has no kind").arg(p.name));
        const std::optional<ParameterKind> kind = ReportParameters::kindNamed(text(u"kind"));
        if (!kind)
            fail(Lang.caption("\"%1\" must be one of %2")
                     .arg(QStringLiteral("kind"), QStringLiteral("text, integer, number, date, boolean, choice")));
        p.kind = *kind;
        p.defaultValue = text(u"default");
        if (!p.defaultValue.isEmpty() && !ReportParameters::read(p.kind, p.defaultValue))
            fail(Lang.caption("the default of the parameter \"%1\" must be %2")
                     .arg(p.name, ReportParameters::expected(p.kind)));
        p.query = readText().trimmed();
        if (p.kind == ParameterKind::Choice && p.query.isEmpty())
            fail(Lang.caption("the choice parameter \"%1\" needs the query of its values").arg(p.name));
        if (p.kind != ParameterKind::Choice && !p.query.isEmpty())
            fail(Lang.caption("only a choice parameter holds a query"));
        m_report.parameters.push_back(p);
    }

    void readGroup()
    {
        // Each group nests a level of reading, filling and drawing in the designer; no report
        // needs more than a few.
        if (m_report.groups.size() >= ReportTemplateFormat::maxGroups)
            fail(Lang.caption("more than %1 groups").arg(ReportTemplateFormat::maxGroups));
        allowAttributes({u"name", u"expression", u"new-page", u"repeat-header", u"keep-together",
                         u"reset-page-numbers"});
        ReportGroup g;
        g.name = text(u"name");
        g.expression = text(u"expression");
        if (g.expression.trimmed().isEmpty())
            fail(Lang.caption("a <group> needs an expression"));
        g.newPage = flag(u"new-page", false);
        g.repeatHeader = flag(u"repeat-header", false);
        g.keepTogether = flag(u"keep-together", false);
        g.resetPageNumbers = flag(u"reset-page-numbers", false);
        const size_t index = m_report.groups.size();
        m_report.groups.push_back(g);
        bool seenGroup = false;
        while (nextChild()) {
            const auto name = m_xml.name();
            if (name == u"header" || name == u"footer") {
                const bool header = name == u"header";
                if ((header ? m_report.groups[index].header : m_report.groups[index].footer))
                    fail(Lang.caption("<%1> stands twice").arg(name));
                Band band = readBand(header ? BandKind::GroupHeader : BandKind::GroupFooter);
                (header ? m_report.groups[index].header : m_report.groups[index].footer) = std::move(band);
            } else if (name == u"group") {
                once(seenGroup);
                readGroup();
            } else {
                fail(Lang.caption("unknown element <%1> in <group>").arg(name));
            }
        }
    }

    Band readBand(BandKind kind, bool columns = false)
    {
        if (columns)
            allowAttributes({u"height", u"can-grow", u"keep-together", u"visible", u"columns", u"column-spacing",
                             u"column-order"});
        else
            allowAttributes({u"height", u"can-grow", u"keep-together", u"visible"});
        Band band;
        band.kind = kind;
        band.visible = expressionText(u"visible");
        band.height = length(u"height", band.height);
        band.canGrow = flag(u"can-grow", false);
        band.keepTogether = flag(u"keep-together", false);
        if (columns) {
            const double count = real(u"columns", 1);
            if (count < 1 || count > 20 || count != std::floor(count))
                fail(Lang.caption("\"columns\" must be a whole number from 1 to 20"));
            band.columns = int(count);
            band.columnSpacing = length(u"column-spacing", 0);
            band.columnOrder = ColumnOrder(choice(u"column-order", columnOrders, int(ColumnOrder::Across)));
        }
        while (nextChild())
            band.objects.push_back(readObject());
        return band;
    }

    ReportObject readObject()
    {
        ReportObject o;
        o.kind = ObjectKind(kindOf(m_xml.name()));
        switch (o.kind) {
        case ObjectKind::Text:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"format", u"font", u"size", u"bold",
                             u"italic", u"underline", u"color", u"background", u"frame-left", u"frame-top",
                             u"frame-right", u"frame-bottom", u"align", u"valign", u"wrap", u"visible"});
            break;
        case ObjectKind::Line:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"line-width", u"color", u"visible"});
            break;
        case ObjectKind::Rectangle:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"line-width", u"color", u"fill", u"visible"});
            break;
        case ObjectKind::Picture:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"file", u"value", u"keep-aspect", u"visible"});
            break;
        case ObjectKind::CheckBox:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"value", u"line-width", u"color", u"visible"});
            break;
        case ObjectKind::Subreport:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"repeat-header"});
            break;
        case ObjectKind::Barcode:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"kind", u"value", u"color", u"fill"});
            o.barcode = BarcodeKind(choice(u"kind", barcodeKinds, int(BarcodeKind::Qr)));
            break;
        case ObjectKind::Chart:
            allowAttributes({u"name", u"x", u"y", u"width", u"height", u"kind", u"category", u"value", u"colors",
                             u"legend", u"format", u"font", u"size", u"bold", u"italic", u"color"});
            o.chart = ChartKind(choice(u"kind", chartKinds, int(ChartKind::Bar)));
            o.category = text(u"category");
            o.colors = colors(u"colors");
            o.legend = flag(u"legend", o.legend);
            break;
        }
        o.name = text(u"name");
        o.visible = expressionText(u"visible");
        o.rect = QRectF(length(u"x", 0), length(u"y", 0), length(u"width", 0), length(u"height", 0));
        o.lineWidth = length(u"line-width", o.lineWidth);
        o.lineColor = color(u"color", o.lineColor);
        o.fill = color(u"fill", o.fill);
        o.file = text(u"file");
        o.keepAspect = flag(u"keep-aspect", o.keepAspect);
        if (o.kind != ObjectKind::Text)
            o.text = text(u"value");
        if (o.kind == ObjectKind::Picture && o.file.isEmpty() == o.text.isEmpty())
            fail(Lang.caption("a <picture> takes either a file or a value"));
        if ((o.kind == ObjectKind::Barcode || o.kind == ObjectKind::Chart) && o.text.trimmed().isEmpty())
            fail(Lang.caption("a <%1> needs a value").arg(m_xml.name()));
        if (o.kind == ObjectKind::Chart && o.category.trimmed().isEmpty())
            fail(Lang.caption("a <chart> needs a category"));
        if (o.kind == ObjectKind::Chart)
            readTextStyle(o);
        if (o.kind == ObjectKind::Text) {
            readTextStyle(o);
            readTextAndRules(o);
        } else if (o.kind == ObjectKind::Subreport) {
            readSubreport(o);
        } else if (nextChild()) {
            fail(Lang.caption("unknown element <%1> in an object").arg(m_xml.name()));
        }
        return o;
    }

    void readSubreport(ReportObject& o)
    {
        if (!isIdentifier(o.name))
            fail(Lang.caption("a <subreport> needs a name of letters, digits and _ that its texts call its data by"));
        if (m_subreportDepth >= ReportTemplateFormat::maxSubreportDepth)
            fail(Lang.caption("sub-reports nest more than %1 deep").arg(ReportTemplateFormat::maxSubreportDepth));
        ++m_subreportDepth;
        Subreport& sub = o.subreport.emplace();
        sub.repeatHeader = flag(u"repeat-header", false);
        bool seenQuery = false;
        while (nextChild()) {
            const auto name = m_xml.name();
            if (name == u"query") {
                once(seenQuery);
                allowAttributes({});
                sub.query = readText();
            } else if (name == u"parameter") {
                allowAttributes({u"name", u"value"});
                SubreportParameter p{text(u"name"), text(u"value")};
                if (!isIdentifier(p.name) || p.value.trimmed().isEmpty())
                    fail(Lang.caption("a <parameter> needs a name of letters, digits and _ and a value"));
                for (const SubreportParameter& other : sub.parameters)
                    if (other.name.compare(p.name, Qt::CaseInsensitive) == 0)
                        fail(Lang.caption("the parameter \"%1\" stands twice").arg(p.name));
                sub.parameters.push_back(p);
                if (nextChild())
                    fail(Lang.caption("unknown element <%1> in <parameter>").arg(m_xml.name()));
            } else if (name == u"header" || name == u"detail" || name == u"footer") {
                const BandKind kind = name == u"header" ? BandKind::GroupHeader
                                      : name == u"detail" ? BandKind::Detail : BandKind::GroupFooter;
                std::optional<Band>& slot = kind == BandKind::GroupHeader ? sub.header
                                            : kind == BandKind::Detail ? sub.detail : sub.footer;
                if (slot)
                    fail(Lang.caption("<%1> stands twice").arg(name));
                slot = readBand(kind);
            } else {
                fail(Lang.caption("unknown element <%1> in <subreport>").arg(name));
            }
        }
        --m_subreportDepth;
        if (sub.query.trimmed().isEmpty())
            fail(Lang.caption("the sub-report \"%1\" has no query").arg(o.name));
    }

    static bool isIdentifier(const QString& name)
    {
        if (name.isEmpty() || name.front().isDigit())
            return false;
        return std::all_of(name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber() || c == u'_'; });
    }

    // An attribute holding an expression: given, it must hold one.
    QString expressionText(const char16_t* name) const
    {
        const QString v = text(name);
        if (has(name) && v.trimmed().isEmpty())
            fail(Lang.caption("\"%1\" needs an expression").arg(QStringView(name)));
        return v;
    }

    static constexpr size_t maxRules = 16;

    // A text's style rules stand before its text; the line breaks and indents around them are
    // layout, not text.
    void readTextAndRules(ReportObject& o)
    {
        QString segment;
        for (;;) {
            m_xml.readNext();
            if (m_xml.isCharacters()) {
                segment += m_xml.text();
            } else if (m_xml.isStartElement()) {
                if (m_xml.name() != u"rule")
                    fail(Lang.caption("unknown element <%1> in a <text>").arg(m_xml.name()));
                if (!segment.trimmed().isEmpty())
                    fail(Lang.caption("a <rule> stands before the text of its <text>"));
                if (o.rules.size() >= maxRules)
                    fail(Lang.caption("more than %1 rules on one text").arg(maxRules));
                segment.clear();
                o.rules.push_back(readRule());
            } else if (m_xml.isEndElement()) {
                break;
            } else if (m_xml.atEnd() || m_xml.hasError()) {
                checkXml();
                fail(Lang.caption("the template ends too early"));
            }
        }
        if (!o.rules.empty() && segment.trimmed().isEmpty() && segment.contains(u'\n'))
            segment.clear();
        o.text = segment;
    }

    StyleRule readRule()
    {
        allowAttributes({u"when", u"color", u"background", u"bold", u"italic"});
        StyleRule r;
        r.condition = expressionText(u"when");
        if (r.condition.isEmpty())
            fail(Lang.caption("a <rule> needs a condition in \"when\""));
        r.color = color(u"color", QColor());
        r.background = color(u"background", QColor());
        if (has(u"bold"))
            r.bold = flag(u"bold", false);
        if (has(u"italic"))
            r.italic = flag(u"italic", false);
        if (!r.color.isValid() && !r.background.isValid() && !r.bold && !r.italic)
            fail(Lang.caption("a <rule> changes nothing: give it \"color\", \"background\", \"bold\" or \"italic\""));
        if (nextChild())
            fail(Lang.caption("unknown element <%1> in a <rule>").arg(m_xml.name()));
        return r;
    }

    int kindOf(QStringView name) const
    {
        for (const auto& n : objectKinds)
            if (name == QLatin1StringView(n.name))
                return n.value;
        fail(Lang.caption("unknown element <%1> in a band").arg(name));
    }

    void readTextStyle(ReportObject& o)
    {
        TextStyle& s = o.style;
        o.format = text(u"format");
        s.font.family = text(u"font", s.font.family);
        s.font.size = real(u"size", s.font.size);
        if (s.font.size <= 0 || s.font.size > 500)
            fail(Lang.caption("\"size\" must be between 0 and 500 points"));
        s.font.bold = flag(u"bold", false);
        s.font.italic = flag(u"italic", false);
        s.font.underline = flag(u"underline", false);
        s.color = o.lineColor;
        o.lineColor = Qt::black;
        s.background = color(u"background", QColor());
        s.left = frameSide(u"frame-left");
        s.top = frameSide(u"frame-top");
        s.right = frameSide(u"frame-right");
        s.bottom = frameSide(u"frame-bottom");
        s.hAlign = HAlign(choice(u"align", hAligns, int(HAlign::Left)));
        s.vAlign = VAlign(choice(u"valign", vAligns, int(VAlign::Top)));
        s.wordWrap = flag(u"wrap", false);
    }

    QXmlStreamReader m_xml;
    QString m_source;
    ReportTemplate m_report;
    int m_subreportDepth = 0;
};

} // namespace

ReportTemplate template_xml::readTemplate(const QByteArray& xml, const QString& source)
{
    return Reader(xml, source).read();
}
