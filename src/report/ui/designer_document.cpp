#include "report/ui/designer_document.h"

#include "platform/lang.h"
#include "report/engine/dataset.h"
#include "report/engine/text_layout.h"
#include "report/ui/designer_properties.h"

#include <QUndoStack>
#include <algorithm>
#include <cmath>

namespace {

// Objects copied stay available to every designer window of the run.
std::vector<ReportObject>& clipboard()
{
    static std::vector<ReportObject> objects;
    return objects;
}

constexpr int moveMerge = 1, resizeMerge = 2, propertyMerge = 100;

} // namespace

// One change of the template: the whole report before and after, the level it was made on, and
// the selection on either side, so that undo shows what it undid where it was done.
class DesignerDocument::Command : public QUndoCommand {
public:
    Command(DesignerDocument& document, ReportTemplate before, ReportTemplate after, DesignerLevelPath path,
            DesignerSelection selBefore, DesignerSelection selAfter, const QString& text, int mergeKey, int epoch)
        : QUndoCommand(text), m_document(document), m_before(std::move(before)), m_after(std::move(after)),
          m_path(std::move(path)), m_selBefore(std::move(selBefore)), m_selAfter(std::move(selAfter)),
          m_mergeKey(mergeKey), m_epoch(epoch)
    {
    }
    void undo() override { m_document.restore(m_before, m_path, m_selBefore); }
    void redo() override { m_document.restore(m_after, m_path, m_selAfter); }
    int id() const override { return m_mergeKey == 0 ? -1 : m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const Command*>(other);
        if (next->m_epoch != m_epoch || next->m_path != m_path || !(next->m_selBefore == m_selAfter))
            return false;
        m_after = next->m_after;
        m_selAfter = next->m_selAfter;
        return true;
    }

private:
    DesignerDocument& m_document;
    ReportTemplate m_before, m_after;
    DesignerLevelPath m_path;
    DesignerSelection m_selBefore, m_selAfter;
    int m_mergeKey;
    int m_epoch;
};

DesignerDocument::DesignerDocument(const ReportTemplate& t, const QString& fileName, const ReportDataset* data,
                                   QObject* parent)
    : QObject(parent), m_report(t), m_template(t), m_fileName(fileName), m_data(data), m_undo(new QUndoStack(this))
{
}

DesignerDocument::~DesignerDocument()
{
    // The stack's commands refer to this document; they go first, telling no one: the window
    // listening to the stack is being taken down too.
    m_undo->blockSignals(true);
    m_undo->clear();
}

void DesignerDocument::setSelection(const DesignerSelection& selection)
{
    const DesignerSelection valid = validSelection(m_template, selection);
    if (valid == m_selection)
        return;
    m_selection = valid;
    ++m_selectionEpoch;
    emit changed();
}

void DesignerDocument::change(const ReportTemplate& after, const QString& what, const DesignerSelection& selectionAfter,
                              int mergeKey)
{
    if (after == m_template) {
        setSelection(selectionAfter);
        return;
    }
    ReportTemplate report = m_report;
    storeSubreportLevel(report, m_path, after);
    push(report, what, validSelection(after, selectionAfter), mergeKey);
}

void DesignerDocument::push(const ReportTemplate& reportAfter, const QString& what, const DesignerSelection& selectionAfter,
                            int mergeKey)
{
    if (reportAfter == m_report) {
        setSelection(selectionAfter);
        return;
    }
    m_undo->push(new Command(*this, m_report, reportAfter, m_path, m_selection, selectionAfter, what, mergeKey,
                             m_selectionEpoch));
}

void DesignerDocument::restore(const ReportTemplate& report, const DesignerLevelPath& path, const DesignerSelection& selection)
{
    if (path != m_path)
        ++m_selectionEpoch;
    m_report = report;
    m_path = path;
    showLevel();
    m_selection = validSelection(m_template, selection);
    emit changed();
}

void DesignerDocument::showLevel()
{
    std::optional<ReportTemplate> level = subreportLevel(m_report, m_path);
    if (!level) {
        m_path.clear();
        level = m_report;
    }
    m_template = std::move(*level);
    m_outer = m_path.empty() ? ReportTemplate()
                             : *subreportLevel(m_report, DesignerLevelPath(m_path.begin(), m_path.end() - 1));
}

bool DesignerDocument::openSubreport(const ObjectRef& ref)
{
    const ReportObject* o = findObject(m_template, ref);
    if (!o || o->kind != ObjectKind::Subreport || !o->subreport)
        return false;
    m_path.push_back(ref);
    showLevel();
    m_selection = {};
    ++m_selectionEpoch;
    emit changed();
    return true;
}

void DesignerDocument::leaveSubreport(int depth)
{
    if (depth < 0 || depth >= int(m_path.size()))
        return;
    const ObjectRef left = m_path[size_t(depth)];
    m_path.resize(size_t(depth));
    showLevel();
    m_selection = validSelection(m_template, DesignerSelection::ofObjects({left}));
    ++m_selectionEpoch;
    emit changed();
}

DesignerSelection DesignerDocument::propertySelection() const
{
    return showsOpenSubreport() ? DesignerSelection::ofObjects({m_path.back()}) : m_selection;
}

std::vector<const DesignerProperty*> DesignerDocument::shownProperties() const
{
    if (!showsOpenSubreport())
        return propertiesFor(m_template, m_selection, inSubreport());
    // The sub-report as the level around it knows it; its expressions are written there.
    std::vector<const DesignerProperty*> out;
    for (const DesignerProperty* p : propertiesFor(m_outer, propertySelection(), m_path.size() > 1))
        if (p->editor != DesignerProperty::Editor::Expression && p->editor != DesignerProperty::Editor::TextExpression)
            out.push_back(p);
    return out;
}

const DesignerProperty* DesignerDocument::shownProperty(const QString& key) const
{
    for (const DesignerProperty* p : shownProperties())
        if (p->key == key)
            return p;
    return nullptr;
}

bool DesignerDocument::isModified() const
{
    return !m_undo->isClean();
}

void DesignerDocument::start(const ReportTemplate& t, const QString& fileName)
{
    m_report = t;
    m_path.clear();
    m_outer = ReportTemplate();
    m_template = t;
    m_fileName = fileName;
    m_selection = {};
    ++m_selectionEpoch;
    m_undo->clear();
    emit changed();
}

void DesignerDocument::markSaved(const QString& fileName)
{
    m_fileName = fileName;
    m_undo->setClean();
}

QString DesignerDocument::datasetName() const
{
    return m_data ? m_data->userName() : QStringLiteral("Report");
}

std::optional<BandRef> DesignerDocument::targetBand() const
{
    if (m_selection.band)
        return m_selection.band;
    if (!m_selection.objects.empty())
        return m_selection.objects.front().band;
    return std::nullopt;
}

void DesignerDocument::addObject(ObjectKind kind, const BandRef& bandRef, const QRectF& rect, const QString& text)
{
    if (!findBand(m_template, bandRef))
        return;
    ReportTemplate t = m_template;
    ReportObject o = newObject(kind, rect);
    // A field picked for a chart is what it counts rows by; a barcode shows it.
    if (kind == ObjectKind::Chart && !text.isEmpty())
        o.category = text;
    else if (kind != ObjectKind::Chart && (kind != ObjectKind::Barcode || !text.isEmpty()))
        o.text = text;
    if (kind == ObjectKind::Subreport)
        startSubreport(m_report, o);
    Band* band = findBand(t, bandRef);
    band->height = std::max(band->height, o.rect.bottom());
    const std::vector<ObjectRef> refs = pasteObjects(t, bandRef, {o});
    change(t, Lang.caption("Add %1").arg(objectKindName(kind)), DesignerSelection::ofObjects(refs));
}

void DesignerDocument::dropField(const QString& field, const BandRef& bandRef, QPointF at)
{
    if (!findBand(m_template, bandRef))
        return;
    ReportTemplate t = m_template;
    Band* band = findBand(t, bandRef);
    const double height = 6;
    ReportObject value = newObject(ObjectKind::Text, QRectF(at, QSizeF(30, height)));
    value.text = u'[' + fieldExpression(datasetName(), field) + u']';
    band->height = std::max(band->height, value.rect.bottom());
    const std::vector<ObjectRef> refs = pasteObjects(t, bandRef, {value});
    if (bandRef.kind == BandKind::Detail) {
        // Above a sub-report's rows the titles go into its header.
        const BandKind titles = inSubreport() ? BandKind::ReportTitle : BandKind::PageHeader;
        if (!findBand(t, {titles})) {
            addBand(t, titles);
            if (inSubreport())
                t.title->height = 6;
        }
        QString title = field;
        title.replace(u'_', u' ');
        if (!title.isEmpty())
            title[0] = title[0].toUpper();
        ReportObject caption = newObject(ObjectKind::Text, QRectF(at.x(), 0, 30, std::min(7.0, findBand(t, {titles})->height)));
        caption.text = title;
        caption.style.font.bold = true;
        pasteObjects(t, {titles}, {caption});
    }
    change(t, Lang.caption("Add %1").arg(Lang.caption("Field")), DesignerSelection::ofObjects(refs));
}

void DesignerDocument::moveSelection(double dx, double dy, bool resize)
{
    ReportTemplate t = m_template;
    if (m_selection.objects.empty()) {
        if (m_selection.band && resize) {
            Band* band = findBand(t, *m_selection.band);
            band->height = hundredths(std::max(0.0, band->height + dy));
            change(t, Lang.caption("Band height"), m_selection, resizeMerge);
        }
        return;
    }
    for (const ObjectRef& ref : m_selection.objects) {
        QRectF& r = findObject(t, ref)->rect;
        if (resize) {
            r.setWidth(std::max(0.0, r.width() + dx));
            r.setHeight(std::max(0.0, r.height() + dy));
        } else {
            r.translate(dx, dy);
        }
        r = hundredths(r);
    }
    change(t, Lang.caption(resize ? "Resize" : "Move"), m_selection, resize ? resizeMerge : moveMerge);
}

void DesignerDocument::deleteSelection()
{
    if (m_selection.objects.empty())
        return;
    ReportTemplate t = m_template;
    deleteObjects(t, m_selection.objects);
    change(t, Lang.caption("Delete"), {});
}

void DesignerDocument::copySelection()
{
    if (m_selection.objects.empty())
        return;
    clipboard().clear();
    for (const ObjectRef& ref : m_selection.objects)
        clipboard().push_back(*findObject(m_template, ref));
    m_clipboardBand = m_selection.objects.front().band;
    emit changed();
}

void DesignerDocument::cutSelection()
{
    copySelection();
    deleteSelection();
}

bool DesignerDocument::canPaste()
{
    return !clipboard().empty();
}

void DesignerDocument::paste(double step)
{
    if (clipboard().empty())
        return;
    std::optional<BandRef> band = targetBand();
    if (!band && findBand(m_template, m_clipboardBand))
        band = m_clipboardBand;
    if (!band && !bandsInOrder(m_template).empty())
        band = bandsInOrder(m_template).front();
    if (!band)
        return;
    std::vector<ReportObject> objects = clipboard();
    // A copy over its original would hide it.
    const Band* target = findBand(m_template, *band);
    const bool overlaps = std::any_of(objects.begin(), objects.end(), [&](const ReportObject& o) {
        return std::any_of(target->objects.begin(), target->objects.end(),
                           [&](const ReportObject& existing) { return existing.rect == o.rect; });
    });
    if (overlaps)
        for (ReportObject& o : objects)
            o.rect.translate(step, step);
    ReportTemplate t = m_template;
    const std::vector<ObjectRef> refs = pasteObjects(t, *band, objects);
    change(t, Lang.caption("Paste"), DesignerSelection::ofObjects(refs));
}

void DesignerDocument::selectAll()
{
    DesignerSelection all;
    for (const BandRef& band : bandsInOrder(m_template))
        for (int i = 0; i < int(findBand(m_template, band)->objects.size()); ++i)
            all.objects.push_back({band, i});
    setSelection(all);
}

void DesignerDocument::align(AlignEdge edge)
{
    if (m_selection.objects.size() < 2)
        return;
    ReportTemplate t = m_template;
    alignObjects(t, m_selection.objects, edge);
    change(t, Lang.caption("Align"), m_selection);
}

void DesignerDocument::restackSelection(bool front)
{
    if (m_selection.objects.empty())
        return;
    ReportTemplate t = m_template;
    const std::vector<ObjectRef> refs = restack(t, m_selection.objects, front);
    change(t, Lang.caption("Order"), DesignerSelection::ofObjects(refs));
}

void DesignerDocument::fitSelectionToContent()
{
    ReportTemplate t = m_template;
    bool fitted = false;
    for (const ObjectRef& ref : m_selection.objects) {
        ReportObject* o = findObject(t, ref);
        if (!o || o->kind != ObjectKind::Text)
            continue;
        const QSizeF size = textSize(o->text, reportFont(o->style.font));
        // Up to the next tenth of a millimetre, so that rounding never cuts the last letter.
        o->rect.setSize(QSizeF(std::ceil(size.width() * 10) / 10, std::ceil(size.height() * 10) / 10));
        fitted = true;
    }
    if (fitted && t != m_template)
        change(t, Lang.caption("Size to content"), m_selection);
}

void DesignerDocument::addBandOfKind(BandKind kind)
{
    // A sub-report has a header, a detail band and a footer.
    if (inSubreport() && kind != BandKind::ReportTitle && kind != BandKind::Detail && kind != BandKind::Summary)
        return;
    ReportTemplate t = m_template;
    BandRef ref{kind};
    if (kind == BandKind::GroupHeader || kind == BandKind::GroupFooter) {
        const std::optional<BandRef> band = targetBand();
        if (!band || band->group < 0)
            return;
        ref.group = band->group;
        addGroupBand(t, band->group, kind);
    } else {
        const bool added = !findBand(t, ref);
        addBand(t, kind);
        // A sub-report's header and footer hold a line of titles or totals.
        if (added && inSubreport() && kind != BandKind::Detail)
            findBand(t, ref)->height = 6;
    }
    change(t, Lang.caption("Add %1").arg(levelBandTitle(t, ref, inSubreport())), DesignerSelection::ofBand(ref));
}

void DesignerDocument::addGroup(const QString& field)
{
    if (inSubreport())
        return;
    ReportTemplate t = m_template;
    const int group = ::addGroup(t, field.isEmpty() ? QString() : u'[' + fieldExpression(datasetName(), field) + u']');
    QString name = field.isEmpty() ? QStringLiteral("group%1").arg(group + 1) : field;
    const QStringList names = m_template.groupNames();
    for (int n = 2; names.contains(name, Qt::CaseInsensitive); ++n)
        name = (field.isEmpty() ? QStringLiteral("group") : field) + QString::number(n);
    t.groups[size_t(group)].name = name;
    if (!t.detail)
        addBand(t, BandKind::Detail);
    change(t, Lang.caption("Add %1").arg(Lang.caption("Group")), DesignerSelection::ofBand({BandKind::GroupHeader, group}));
}

void DesignerDocument::removeSelectedBand()
{
    if (!m_selection.band)
        return;
    ReportTemplate t = m_template;
    removeBand(t, *m_selection.band);
    change(t, Lang.caption("Remove band"), {});
}

void DesignerDocument::setObjectText(const ObjectRef& ref, const QString& text)
{
    ReportTemplate t = m_template;
    ReportObject* o = findObject(t, ref);
    if (!o || o->text == text)
        return;
    o->text = text;
    change(t, Lang.caption("Edit text"), DesignerSelection::ofObjects({ref}));
}

void DesignerDocument::setProperty(const QString& key, const QVariant& value)
{
    const DesignerProperty* property = shownProperty(key);
    if (!property)
        return;
    const int index = int(property - designerProperties().data());
    const QString what = Lang.caption("Change %1").arg(Lang.caption(property->caption));
    if (!showsOpenSubreport()) {
        ReportTemplate t = m_template;
        applyProperty(t, m_selection, *property, value);
        change(t, what, m_selection, propertyMerge + index);
        return;
    }
    // The open sub-report's own properties belong to the level around it.
    ReportTemplate outer = m_outer;
    applyProperty(outer, propertySelection(), *property, value);
    ReportTemplate report = m_report;
    storeSubreportLevel(report, DesignerLevelPath(m_path.begin(), m_path.end() - 1), outer);
    push(report, what, m_selection, propertyMerge + index);
}
