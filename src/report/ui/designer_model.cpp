#include "report/ui/designer_model.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/compiled_text.h"
#include "report/engine/dataset.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

bool DesignerSelection::contains(const ObjectRef& ref) const
{
    return std::find(objects.begin(), objects.end(), ref) != objects.end();
}

DesignerSelection DesignerSelection::ofObjects(std::vector<ObjectRef> refs)
{
    DesignerSelection s;
    s.objects = std::move(refs);
    return s;
}

DesignerSelection DesignerSelection::ofBand(const BandRef& band)
{
    DesignerSelection s;
    s.band = band;
    return s;
}

std::vector<BandRef> bandsInOrder(const ReportTemplate& t)
{
    std::vector<BandRef> out;
    if (t.title)
        out.push_back({BandKind::ReportTitle});
    if (t.pageHeader)
        out.push_back({BandKind::PageHeader});
    for (int g = 0; g < int(t.groups.size()); ++g)
        if (t.groups[size_t(g)].header)
            out.push_back({BandKind::GroupHeader, g});
    if (t.detail)
        out.push_back({BandKind::Detail});
    for (int g = int(t.groups.size()) - 1; g >= 0; --g)
        if (t.groups[size_t(g)].footer)
            out.push_back({BandKind::GroupFooter, g});
    if (t.pageFooter)
        out.push_back({BandKind::PageFooter});
    if (t.summary)
        out.push_back({BandKind::Summary});
    return out;
}

Band* findBand(ReportTemplate& t, const BandRef& ref)
{
    return const_cast<Band*>(findBand(std::as_const(t), ref));
}

const Band* findBand(const ReportTemplate& t, const BandRef& ref)
{
    auto get = [](const std::optional<Band>& b) { return b ? &*b : nullptr; };
    switch (ref.kind) {
    case BandKind::ReportTitle: return get(t.title);
    case BandKind::PageHeader: return get(t.pageHeader);
    case BandKind::Detail: return get(t.detail);
    case BandKind::PageFooter: return get(t.pageFooter);
    case BandKind::Summary: return get(t.summary);
    case BandKind::GroupHeader:
    case BandKind::GroupFooter:
        if (ref.group < 0 || ref.group >= int(t.groups.size()))
            return nullptr;
        return get(ref.kind == BandKind::GroupHeader ? t.groups[size_t(ref.group)].header
                                                     : t.groups[size_t(ref.group)].footer);
    }
    return nullptr;
}

ReportObject* findObject(ReportTemplate& t, const ObjectRef& ref)
{
    return const_cast<ReportObject*>(findObject(std::as_const(t), ref));
}

const ReportObject* findObject(const ReportTemplate& t, const ObjectRef& ref)
{
    const Band* band = findBand(t, ref.band);
    if (!band || ref.index < 0 || ref.index >= int(band->objects.size()))
        return nullptr;
    return &band->objects[size_t(ref.index)];
}

QString bandTitle(const ReportTemplate& t, const BandRef& ref)
{
    switch (ref.kind) {
    case BandKind::ReportTitle: return Lang.caption("Report title");
    case BandKind::PageHeader: return Lang.caption("Page header");
    case BandKind::Detail: return Lang.caption("Detail");
    case BandKind::PageFooter: return Lang.caption("Page footer");
    case BandKind::Summary: return Lang.caption("Summary");
    case BandKind::GroupHeader:
    case BandKind::GroupFooter: {
        QString caption = Lang.caption(ref.kind == BandKind::GroupHeader ? "Group header" : "Group footer");
        if (ref.group >= 0 && ref.group < int(t.groups.size())) {
            const ReportGroup& g = t.groups[size_t(ref.group)];
            caption += QStringLiteral(": ") + (g.name.isEmpty() ? g.expression : g.name);
        }
        return caption;
    }
    }
    return QString();
}

DesignerSelection validSelection(const ReportTemplate& t, const DesignerSelection& selection)
{
    DesignerSelection out;
    for (const ObjectRef& ref : selection.objects)
        if (findObject(t, ref) && !out.contains(ref))
            out.objects.push_back(ref);
    if (out.objects.empty() && selection.band && findBand(t, *selection.band))
        out.band = selection.band;
    return out;
}

namespace {

Band bandOfHeight(BandKind kind, double height)
{
    Band b;
    b.kind = kind;
    b.height = height;
    return b;
}

} // namespace

void addBand(ReportTemplate& t, BandKind kind)
{
    auto ensure = [&](std::optional<Band>& band, double height) {
        if (!band)
            band = bandOfHeight(kind, height);
    };
    switch (kind) {
    case BandKind::ReportTitle: ensure(t.title, 15); break;
    case BandKind::PageHeader: ensure(t.pageHeader, 8); break;
    case BandKind::Detail: ensure(t.detail, 6); break;
    case BandKind::PageFooter: ensure(t.pageFooter, 6); break;
    case BandKind::Summary: ensure(t.summary, 10); break;
    case BandKind::GroupHeader:
    case BandKind::GroupFooter: break;
    }
}

int addGroup(ReportTemplate& t, const QString& expression)
{
    ReportGroup g;
    g.expression = expression;
    g.header = bandOfHeight(BandKind::GroupHeader, 7);
    g.footer = bandOfHeight(BandKind::GroupFooter, 7);
    t.groups.push_back(std::move(g));
    return int(t.groups.size()) - 1;
}

void addGroupBand(ReportTemplate& t, int group, BandKind kind)
{
    if (group < 0 || group >= int(t.groups.size()))
        return;
    ReportGroup& g = t.groups[size_t(group)];
    std::optional<Band>& band = kind == BandKind::GroupHeader ? g.header : g.footer;
    if (!band)
        band = bandOfHeight(kind, 7);
}

void removeBand(ReportTemplate& t, const BandRef& ref)
{
    switch (ref.kind) {
    case BandKind::ReportTitle: t.title.reset(); break;
    case BandKind::PageHeader: t.pageHeader.reset(); break;
    case BandKind::Detail: t.detail.reset(); break;
    case BandKind::PageFooter: t.pageFooter.reset(); break;
    case BandKind::Summary: t.summary.reset(); break;
    case BandKind::GroupHeader:
    case BandKind::GroupFooter: {
        if (ref.group < 0 || ref.group >= int(t.groups.size()))
            return;
        ReportGroup& g = t.groups[size_t(ref.group)];
        (ref.kind == BandKind::GroupHeader ? g.header : g.footer).reset();
        if (!g.header && !g.footer)
            t.groups.erase(t.groups.begin() + ref.group);
        break;
    }
    }
}

double hundredths(double mm)
{
    return std::round(mm * 100) / 100 + 0.0; // never -0, which the file would show
}

QRectF hundredths(const QRectF& r)
{
    return QRectF(hundredths(r.x()), hundredths(r.y()), hundredths(r.width()), hundredths(r.height()));
}

ReportObject newObject(ObjectKind kind, const QRectF& rect)
{
    ReportObject o;
    o.kind = kind;
    o.rect = rect;
    switch (kind) {
    case ObjectKind::Line: o.rect.setHeight(0); break;
    case ObjectKind::Rectangle: o.lineWidth = 0.2; break;
    case ObjectKind::CheckBox: o.lineWidth = 0.2; break;
    // A barcode and a chart need expressions to be read back: ones that show something at once.
    case ObjectKind::Barcode: o.text = QStringLiteral("'12345678'"); break;
    case ObjectKind::Chart:
        o.category = QStringLiteral("'1'");
        o.text = QStringLiteral("1");
        break;
    default: break;
    }
    return o;
}

namespace {

void collectNames(const std::optional<Band>& band, QStringList& names)
{
    if (!band)
        return;
    for (const ReportObject& o : band->objects) {
        names << o.name;
        if (o.subreport) {
            collectNames(o.subreport->header, names);
            collectNames(o.subreport->detail, names);
            collectNames(o.subreport->footer, names);
        }
    }
}

} // namespace

void startSubreport(const ReportTemplate& t, ReportObject& o)
{
    QStringList names;
    for (const auto* band : {&t.title, &t.pageHeader, &t.detail, &t.pageFooter, &t.summary})
        collectNames(*band, names);
    for (const ReportGroup& g : t.groups) {
        collectNames(g.header, names);
        collectNames(g.footer, names);
    }
    int n = 1;
    while (names.contains(QStringLiteral("Sub%1").arg(n), Qt::CaseInsensitive))
        ++n;
    o.name = QStringLiteral("Sub%1").arg(n);
    Subreport& sub = o.subreport.emplace();
    sub.query = QStringLiteral("SELECT 1 AS n");
    Band& detail = sub.detail.emplace();
    detail.kind = BandKind::Detail;
    detail.height = 5;
    ReportObject field = newObject(ObjectKind::Text, QRectF(0, 0, std::max(10.0, o.rect.width()), 5));
    field.text = QStringLiteral("[%1.n]").arg(o.name);
    detail.objects.push_back(field);
}

QString objectKindName(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Text: return Lang.caption("Text");
    case ObjectKind::Line: return Lang.caption("Line");
    case ObjectKind::Rectangle: return Lang.caption("Rectangle");
    case ObjectKind::Picture: return Lang.caption("Picture");
    case ObjectKind::CheckBox: return Lang.caption("Check box");
    case ObjectKind::Subreport: return Lang.caption("Sub-report");
    case ObjectKind::Barcode: return Lang.caption("Barcode");
    case ObjectKind::Chart: return Lang.caption("Chart");
    }
    return QString();
}

std::vector<ObjectRef> moveToBand(ReportTemplate& t, const std::vector<ObjectRef>& refs, const BandRef& target,
                                  double dy)
{
    std::vector<ReportObject> moving;
    for (const ObjectRef& ref : refs)
        if (const ReportObject* o = findObject(t, ref))
            moving.push_back(*o);
    deleteObjects(t, refs);
    for (ReportObject& o : moving)
        o.rect.translate(0, dy);
    return pasteObjects(t, target, moving);
}

void deleteObjects(ReportTemplate& t, std::vector<ObjectRef> refs)
{
    std::sort(refs.begin(), refs.end(), [](const ObjectRef& a, const ObjectRef& b) { return a.index > b.index; });
    for (const ObjectRef& ref : refs) {
        Band* band = findBand(t, ref.band);
        if (band && ref.index >= 0 && ref.index < int(band->objects.size()))
            band->objects.erase(band->objects.begin() + ref.index);
    }
}

std::vector<ObjectRef> restack(ReportTemplate& t, const std::vector<ObjectRef>& refs, bool front)
{
    std::vector<ObjectRef> result;
    for (const BandRef& bandRef : bandsInOrder(t)) {
        Band* band = findBand(t, bandRef);
        std::vector<ReportObject> chosen, others;
        for (int i = 0; i < int(band->objects.size()); ++i) {
            const bool picked = std::find(refs.begin(), refs.end(), ObjectRef{bandRef, i}) != refs.end();
            (picked ? chosen : others).push_back(band->objects[size_t(i)]);
        }
        if (chosen.empty())
            continue;
        const int first = front ? int(others.size()) : 0;
        band->objects = front ? others : chosen;
        band->objects.insert(band->objects.end(), front ? chosen.begin() : others.begin(),
                             front ? chosen.end() : others.end());
        for (int i = 0; i < int(chosen.size()); ++i)
            result.push_back({bandRef, first + i});
    }
    return result;
}

std::vector<ObjectRef> pasteObjects(ReportTemplate& t, const BandRef& bandRef, const std::vector<ReportObject>& objects)
{
    std::vector<ObjectRef> refs;
    Band* band = findBand(t, bandRef);
    if (!band)
        return refs;
    for (const ReportObject& o : objects) {
        band->objects.push_back(o);
        refs.push_back({bandRef, int(band->objects.size()) - 1});
    }
    return refs;
}

void alignObjects(ReportTemplate& t, const std::vector<ObjectRef>& refs, AlignEdge edge)
{
    if (refs.size() < 2)
        return;
    const ReportObject* anchor = findObject(t, refs.front());
    if (!anchor)
        return;
    const QRectF a = anchor->rect;
    for (size_t i = 1; i < refs.size(); ++i) {
        ReportObject* o = findObject(t, refs[i]);
        if (!o)
            continue;
        QRectF& r = o->rect;
        switch (edge) {
        case AlignEdge::Left: r.moveLeft(a.left()); break;
        case AlignEdge::Right: r.moveRight(a.right()); break;
        case AlignEdge::Top: r.moveTop(a.top()); break;
        case AlignEdge::Bottom: r.moveBottom(a.bottom()); break;
        case AlignEdge::Width: r.setWidth(a.width()); break;
        case AlignEdge::Height: r.setHeight(a.height()); break;
        }
    }
}

QString fieldExpression(const QString& dataset, const QString& field)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (plain.match(field).hasMatch())
        return dataset + u'.' + field;
    QString quoted = field;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return dataset + QStringLiteral(".\"") + quoted + u'"';
}

namespace {

struct Part {
    QString expression;
    int offset;
};

// The engine's messages end with ' at position N of "<expression>"' or ' at line L, column C':
// either becomes a place.
ExpressionProblem problemOf(const QString& message, const Part& part)
{
    ExpressionProblem p{message, -1};
    const QString tail = QStringLiteral(" of \"") + part.expression + u'"';
    if (message.endsWith(tail)) {
        const QString head = message.left(message.size() - tail.size());
        static const QRegularExpression at(QStringLiteral("^(.*) at position (\\d+)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = at.match(head);
        if (m.hasMatch()) {
            p.message = m.captured(1);
            p.position = part.offset + m.captured(2).toInt() - 1;
        }
        return p;
    }
    static const QRegularExpression lineColumn(QStringLiteral("^(.*) at line (\\d+), column (\\d+)$"),
                                               QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = lineColumn.match(message);
    if (m.hasMatch()) {
        qsizetype lineStart = 0;
        for (int line = 1; line < m.captured(2).toInt() && lineStart >= 0; ++line)
            lineStart = part.expression.indexOf(u'\n', lineStart) + 1;
        p.message = m.captured(1);
        p.position = part.offset + int(lineStart) + m.captured(3).toInt() - 1;
    }
    return p;
}

std::optional<ExpressionProblem> checkPart(const Part& part, const ReportDataset* data, const QStringList& groups,
                                          const ParameterValues* parameters)
{
    const QString userName = data ? data->userName() : QStringLiteral("Report");
    const bool knownColumns = data && data->columnCount() > 0;
    QStringList columns = data ? data->columns() : QStringList();
    static const QRegularExpression missing(QStringLiteral("^the field \"(.*)\" is not in the data \"(.*)\"$"));
    for (int attempt = 0; attempt < 200; ++attempt) {
        ReportDataset probe;
        probe.setUserName(userName);
        probe.reset(columns);
        ExpressionCompiler compiler(&probe, groups);
        compiler.setParameters(parameters);
        try {
            compiler.compile(part.expression);
            return std::nullopt;
        } catch (const FormatError& e) {
            const QRegularExpressionMatch m = missing.match(e.message());
            if (!m.hasMatch())
                return problemOf(e.message(), part);
            if (knownColumns) {
                const qsizetype at = part.expression.indexOf(m.captured(1));
                return ExpressionProblem{Lang.caption("the field \"%1\" is not in the data \"%2\"")
                                             .arg(m.captured(1), m.captured(2)),
                                         at < 0 ? -1 : part.offset + int(at)};
            }
            columns << m.captured(1);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<ExpressionProblem> checkExpression(const QString& text, bool embedded, const ReportDataset* data,
                                                 const QStringList& groups, const ParameterValues* parameters)
{
    if (!embedded) {
        if (text.trimmed().isEmpty())
            return ExpressionProblem{Lang.caption("an expression is needed"), 0};
        return checkPart({text, 0}, data, groups, parameters);
    }
    qsizetype i = 0;
    while ((i = text.indexOf(u'[', i)) >= 0) {
        const qsizetype end = closingBracket(text, i + 1);
        if (end < 0)
            return ExpressionProblem{Lang.caption("a \"[\" is not closed"), int(i)};
        if (auto problem = checkPart({text.mid(i + 1, end - i - 1), int(i + 1)}, data, groups, parameters))
            return problem;
        i = end + 1;
    }
    return std::nullopt;
}

namespace {

bool identifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// From position i (just past an opening quote), the position just past its closing quote; a
// doubled quote stands for itself.
qsizetype pastQuoted(const QString& text, qsizetype i, QChar quote)
{
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return i;
}

// Renames From. in text[begin, end), an expression; appends the result to out.
void renameInExpression(const QString& text, qsizetype begin, qsizetype end, const QString& from, const QString& to,
                        QString& out)
{
    qsizetype i = begin;
    while (i < end) {
        const QChar c = text[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype past = std::min(pastQuoted(text, i + 1, c), end);
            out += QStringView(text).mid(i, past - i);
            i = past;
        } else if (identifierChar(c) && (i == begin || (!identifierChar(text[i - 1]) && text[i - 1] != u'.'))) {
            qsizetype j = i;
            while (j < end && identifierChar(text[j]))
                ++j;
            const QStringView word = QStringView(text).mid(i, j - i);
            out += j < end && text[j] == u'.' && word.compare(from, Qt::CaseInsensitive) == 0 ? QStringView(to) : word;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
}

} // namespace

QString renamedFields(const QString& text, bool embedded, const QString& from, const QString& to)
{
    QString out;
    out.reserve(text.size());
    if (!embedded) {
        renameInExpression(text, 0, text.size(), from, to, out);
        return out;
    }
    // Only what stands between a [ and its matching ] is an expression; brackets nest and quoted
    // texts inside may hold brackets.
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'[') {
            out += text[i++];
            continue;
        }
        qsizetype j = i + 1;
        int depth = 1;
        while (j < text.size() && depth > 0) {
            const QChar c = text[j];
            if (c == u'\'' || c == u'"') {
                j = pastQuoted(text, j + 1, c);
                continue;
            }
            depth += c == u'[' ? 1 : c == u']' ? -1 : 0;
            ++j;
        }
        if (depth > 0) { // no matching ]: plain text
            out += QStringView(text).mid(i);
            break;
        }
        out += u'[';
        renameInExpression(text, i + 1, j - 1, from, to, out);
        out += u']';
        i = j;
    }
    return out;
}

bool validSubreportName(const QString& name)
{
    return !name.isEmpty() && !name.front().isDigit() && std::all_of(name.begin(), name.end(), identifierChar);
}

void renameSubreportFields(Subreport& sub, const QString& from, const QString& to)
{
    if (from.isEmpty() || !validSubreportName(to) || from.compare(to, Qt::CaseInsensitive) == 0)
        return;
    for (std::optional<Band>* band : {&sub.header, &sub.detail, &sub.footer}) {
        if (!*band)
            continue;
        Band& b = **band;
        b.visible = renamedFields(b.visible, false, from, to);
        for (ReportObject& o : b.objects) {
            o.text = renamedFields(o.text, o.kind == ObjectKind::Text, from, to);
            o.category = renamedFields(o.category, false, from, to);
            o.visible = renamedFields(o.visible, false, from, to);
            for (StyleRule& r : o.rules)
                r.condition = renamedFields(r.condition, false, from, to);
            // A sub-report inside takes its values from this one's rows; its own bands call
            // only its own rows.
            if (o.subreport)
                for (SubreportParameter& p : o.subreport->parameters)
                    p.value = renamedFields(p.value, false, from, to);
        }
    }
}
