#include "report/engine/template_xml.h"

#include "report/engine/report_parameters.h"

#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>

using namespace template_xml;

namespace {

QString colorText(const QColor& c)
{
    return c.alpha() == 255 ? c.name(QColor::HexRgb) : c.name(QColor::HexArgb);
}

class Writer {
public:
    explicit Writer(QByteArray* out) : m_xml(out) { m_xml.setAutoFormatting(true); }

    void write(const ReportTemplate& r)
    {
        m_xml.writeStartDocument();
        m_xml.writeStartElement(QStringLiteral("report"));
        m_xml.writeAttribute(QStringLiteral("version"), QString::number(r.neededVersion()));
        optional(QStringLiteral("name"), r.name);
        writePage(r.page);
        writeParameters(r.parameters);
        if (!r.query.isEmpty())
            m_xml.writeTextElement(QStringLiteral("query"), r.query);
        writeBand(r.title);
        writeBand(r.pageHeader);
        writeGroups(r.groups, 0);
        writeBand(r.detail);
        writeBand(r.pageFooter);
        writeBand(r.summary);
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
    }

private:
    void optional(const QString& name, const QString& value)
    {
        if (!value.isEmpty())
            m_xml.writeAttribute(name, value);
    }
    void real(const QString& name, double value, double fallback)
    {
        if (value != fallback)
            m_xml.writeAttribute(name, number(value));
    }
    void flag(const QString& name, bool value, bool fallback)
    {
        if (value != fallback)
            m_xml.writeAttribute(name, value ? QStringLiteral("true") : QStringLiteral("false"));
    }
    void color(const QString& name, const QColor& value, const QColor& fallback)
    {
        if (value != fallback && value.isValid())
            m_xml.writeAttribute(name, colorText(value));
    }
    void frame(const QString& name, const FrameSide& side)
    {
        if (side != FrameSide())
            m_xml.writeAttribute(name, number(side.width) + u' ' + colorText(side.color));
    }

    void writePage(const PageSetup& p)
    {
        m_xml.writeStartElement(QStringLiteral("page"));
        if (!p.labels.isEmpty()) {
            m_xml.writeAttribute(QStringLiteral("labels"), p.labels);
            m_xml.writeEndElement();
            return;
        }
        m_xml.writeAttribute(QStringLiteral("size"), QString::fromLatin1(nameOf(pageSizes, int(p.size))));
        if (p.size == PageSizeName::Custom) {
            m_xml.writeAttribute(QStringLiteral("width"), number(p.width));
            m_xml.writeAttribute(QStringLiteral("height"), number(p.height));
        }
        if (p.orientation != Orientation::Portrait)
            m_xml.writeAttribute(QStringLiteral("orientation"), QString::fromLatin1(nameOf(orientations, int(p.orientation))));
        const PageSetup d;
        real(QStringLiteral("margin-left"), p.marginLeft, d.marginLeft);
        real(QStringLiteral("margin-top"), p.marginTop, d.marginTop);
        real(QStringLiteral("margin-right"), p.marginRight, d.marginRight);
        real(QStringLiteral("margin-bottom"), p.marginBottom, d.marginBottom);
        m_xml.writeEndElement();
    }

    void writeParameters(const std::vector<ReportParameter>& parameters)
    {
        if (parameters.empty())
            return;
        m_xml.writeStartElement(QStringLiteral("parameters"));
        for (const ReportParameter& p : parameters) {
            m_xml.writeStartElement(QStringLiteral("parameter"));
            m_xml.writeAttribute(QStringLiteral("name"), p.name);
            optional(QStringLiteral("caption"), p.caption);
            m_xml.writeAttribute(QStringLiteral("kind"), ReportParameters::kindName(p.kind));
            optional(QStringLiteral("default"), p.defaultValue);
            if (!p.query.isEmpty())
                m_xml.writeCharacters(p.query);
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
    }

    void writeGroups(const std::vector<ReportGroup>& groups, size_t i)
    {
        if (i >= groups.size())
            return;
        const ReportGroup& g = groups[i];
        m_xml.writeStartElement(QStringLiteral("group"));
        optional(QStringLiteral("name"), g.name);
        m_xml.writeAttribute(QStringLiteral("expression"), g.expression);
        flag(QStringLiteral("new-page"), g.newPage, false);
        flag(QStringLiteral("repeat-header"), g.repeatHeader, false);
        flag(QStringLiteral("keep-together"), g.keepTogether, false);
        flag(QStringLiteral("reset-page-numbers"), g.resetPageNumbers, false);
        writeBand(g.header);
        writeGroups(groups, i + 1);
        writeBand(g.footer);
        m_xml.writeEndElement();
    }

    static QString bandElement(BandKind kind)
    {
        switch (kind) {
        case BandKind::GroupHeader: return QStringLiteral("header");
        case BandKind::GroupFooter: return QStringLiteral("footer");
        default: return QString::fromLatin1(nameOf(topBands, int(kind)));
        }
    }

    void writeBand(const std::optional<Band>& band)
    {
        if (!band)
            return;
        m_xml.writeStartElement(bandElement(band->kind));
        writeBandBody(*band);
        m_xml.writeEndElement();
    }

    void writeBandBody(const Band& band)
    {
        m_xml.writeAttribute(QStringLiteral("height"), number(band.height));
        flag(QStringLiteral("can-grow"), band.canGrow, false);
        flag(QStringLiteral("keep-together"), band.keepTogether, false);
        if (band.columns != 1)
            m_xml.writeAttribute(QStringLiteral("columns"), QString::number(band.columns));
        real(QStringLiteral("column-spacing"), band.columnSpacing, 0);
        if (band.columnOrder != ColumnOrder::Across)
            m_xml.writeAttribute(QStringLiteral("column-order"), QString::fromLatin1(nameOf(columnOrders, int(band.columnOrder))));
        optional(QStringLiteral("visible"), band.visible);
        for (const ReportObject& o : band.objects)
            writeObject(o);
    }

    void writeObject(const ReportObject& o)
    {
        const ReportObject d;
        m_xml.writeStartElement(QString::fromLatin1(nameOf(objectKinds, int(o.kind))));
        optional(QStringLiteral("name"), o.name);
        m_xml.writeAttribute(QStringLiteral("x"), number(o.rect.x()));
        m_xml.writeAttribute(QStringLiteral("y"), number(o.rect.y()));
        m_xml.writeAttribute(QStringLiteral("width"), number(o.rect.width()));
        m_xml.writeAttribute(QStringLiteral("height"), number(o.rect.height()));
        optional(QStringLiteral("visible"), o.visible);
        switch (o.kind) {
        case ObjectKind::Text:
            writeTextStyle(o);
            for (const StyleRule& r : o.rules)
                writeRule(r);
            m_xml.writeCharacters(o.text);
            break;
        case ObjectKind::Picture:
            optional(QStringLiteral("file"), o.file);
            optional(QStringLiteral("value"), o.text);
            flag(QStringLiteral("keep-aspect"), o.keepAspect, d.keepAspect);
            break;
        case ObjectKind::Barcode:
            m_xml.writeAttribute(QStringLiteral("kind"), QString::fromLatin1(nameOf(barcodeKinds, int(o.barcode))));
            m_xml.writeAttribute(QStringLiteral("value"), o.text);
            color(QStringLiteral("color"), o.lineColor, d.lineColor);
            color(QStringLiteral("fill"), o.fill, QColor());
            break;
        case ObjectKind::Chart: {
            m_xml.writeAttribute(QStringLiteral("kind"), QString::fromLatin1(nameOf(chartKinds, int(o.chart))));
            m_xml.writeAttribute(QStringLiteral("category"), o.category);
            m_xml.writeAttribute(QStringLiteral("value"), o.text);
            QStringList colors;
            for (const QColor& c : o.colors)
                colors << colorText(c);
            optional(QStringLiteral("colors"), colors.join(u' '));
            flag(QStringLiteral("legend"), o.legend, d.legend);
            writeTextStyle(o);
            break;
        }
        case ObjectKind::CheckBox:
            optional(QStringLiteral("value"), o.text);
            [[fallthrough]];
        case ObjectKind::Line:
        case ObjectKind::Rectangle:
            real(QStringLiteral("line-width"), o.lineWidth, d.lineWidth);
            color(QStringLiteral("color"), o.lineColor, d.lineColor);
            if (o.kind == ObjectKind::Rectangle)
                color(QStringLiteral("fill"), o.fill, QColor());
            break;
        case ObjectKind::Subreport:
            if (o.subreport) {
                flag(QStringLiteral("repeat-header"), o.subreport->repeatHeader, false);
                writeSubreport(*o.subreport);
            }
            break;
        }
        m_xml.writeEndElement();
    }

    void writeSubreport(const Subreport& sub)
    {
        m_xml.writeTextElement(QStringLiteral("query"), sub.query);
        for (const SubreportParameter& p : sub.parameters) {
            m_xml.writeStartElement(QStringLiteral("parameter"));
            m_xml.writeAttribute(QStringLiteral("name"), p.name);
            m_xml.writeAttribute(QStringLiteral("value"), p.value);
            m_xml.writeEndElement();
        }
        writeSubBand(sub.header, QStringLiteral("header"));
        writeSubBand(sub.detail, QStringLiteral("detail"));
        writeSubBand(sub.footer, QStringLiteral("footer"));
    }

    void writeSubBand(const std::optional<Band>& band, const QString& element)
    {
        if (!band)
            return;
        m_xml.writeStartElement(element);
        writeBandBody(*band);
        m_xml.writeEndElement();
    }

    void writeRule(const StyleRule& r)
    {
        m_xml.writeEmptyElement(QStringLiteral("rule"));
        m_xml.writeAttribute(QStringLiteral("when"), r.condition);
        color(QStringLiteral("color"), r.color, QColor());
        color(QStringLiteral("background"), r.background, QColor());
        if (r.bold)
            m_xml.writeAttribute(QStringLiteral("bold"), *r.bold ? QStringLiteral("true") : QStringLiteral("false"));
        if (r.italic)
            m_xml.writeAttribute(QStringLiteral("italic"), *r.italic ? QStringLiteral("true") : QStringLiteral("false"));
    }

    void writeTextStyle(const ReportObject& o)
    {
        const TextStyle d;
        const TextStyle& s = o.style;
        optional(QStringLiteral("format"), o.format);
        if (s.font.family != d.font.family)
            m_xml.writeAttribute(QStringLiteral("font"), s.font.family);
        real(QStringLiteral("size"), s.font.size, d.font.size);
        flag(QStringLiteral("bold"), s.font.bold, false);
        flag(QStringLiteral("italic"), s.font.italic, false);
        flag(QStringLiteral("underline"), s.font.underline, false);
        color(QStringLiteral("color"), s.color, d.color);
        color(QStringLiteral("background"), s.background, QColor());
        frame(QStringLiteral("frame-left"), s.left);
        frame(QStringLiteral("frame-top"), s.top);
        frame(QStringLiteral("frame-right"), s.right);
        frame(QStringLiteral("frame-bottom"), s.bottom);
        if (s.hAlign != d.hAlign)
            m_xml.writeAttribute(QStringLiteral("align"), QString::fromLatin1(nameOf(hAligns, int(s.hAlign))));
        if (s.vAlign != d.vAlign)
            m_xml.writeAttribute(QStringLiteral("valign"), QString::fromLatin1(nameOf(vAligns, int(s.vAlign))));
        flag(QStringLiteral("wrap"), s.wordWrap, false);
    }

    QXmlStreamWriter m_xml;
};

} // namespace

QByteArray template_xml::writeTemplate(const ReportTemplate& report)
{
    QByteArray out;
    Writer(&out).write(report);
    return out;
}
