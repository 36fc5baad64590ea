#pragma once

#include "report/ui/designer_model.h"
#include "report/ui/designer_subreport.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <optional>

class QUndoStack;
class ReportDataset;
struct DesignerProperty;

// The template the designer edits, with its selection and its undo history. Every change is an
// undo command that replaces the whole template (templates are small); the window, the scene
// and the panels only show what the document holds. The author works on one level at a time:
// the report, or the bands of a sub-report opened from it, shown as a template of its own
// (model()); a change made there is written back into the whole report (report()), and undoing
// it opens the level it was made on again.
class DesignerDocument : public QObject {
    Q_OBJECT
public:
    DesignerDocument(const ReportTemplate& t, const QString& fileName, const ReportDataset* data, QObject* parent = nullptr);
    ~DesignerDocument() override;

    // The level the author edits: the report, or the sub-report opened.
    const ReportTemplate& model() const { return m_template; }
    // The whole report, what is saved and previewed.
    const ReportTemplate& report() const { return m_report; }
    const DesignerLevelPath& path() const { return m_path; }
    bool inSubreport() const { return !m_path.empty(); }
    // The level around the open sub-report (empty at the report itself).
    const ReportTemplate& outerLevel() const { return m_outer; }
    // Opens the sub-report object of this level; false when the object is none.
    bool openSubreport(const ObjectRef& ref);
    // Goes back up to the level of that depth (0: the report), the sub-report left selected.
    void leaveSubreport(int depth = 0);

    // What the properties panel shows: the selection, or inside a sub-report with nothing
    // selected, the sub-report itself in the level around it (its name, box, query and
    // parameters; its expressions are written there, over that level's rows).
    bool showsOpenSubreport() const { return inSubreport() && m_selection.isEmpty(); }
    const ReportTemplate& propertyModel() const { return showsOpenSubreport() ? m_outer : m_template; }
    DesignerSelection propertySelection() const;
    std::vector<const DesignerProperty*> shownProperties() const;
    const DesignerProperty* shownProperty(const QString& key) const;

    const DesignerSelection& selection() const { return m_selection; }
    void setSelection(const DesignerSelection& selection);
    // One undoable change. Changes with the same merge key (non-zero) that follow each other
    // on the same selection become one step (arrow keys, one property typed in steps).
    void change(const ReportTemplate& after, const QString& what, const DesignerSelection& selectionAfter,
                int mergeKey = 0);
    // Used by the undo commands: the whole report, the level to show and its selection.
    void restore(const ReportTemplate& report, const DesignerLevelPath& path, const DesignerSelection& selection);

    QUndoStack* undoStack() const { return m_undo; }
    bool isModified() const;
    const QString& fileName() const { return m_fileName; }
    // A template opened or begun: no history, nothing selected.
    void start(const ReportTemplate& t, const QString& fileName);
    void markSaved(const QString& fileName);

    // The rows the designer offers: their fields to drop, the name expressions find them by.
    const ReportDataset* data() const { return m_data; }
    void setData(const ReportDataset* data) { m_data = data; }
    QString datasetName() const;

    // The band the next band or paste command goes to: the selected band, or that of the first
    // selected object.
    std::optional<BandRef> targetBand() const;

    // Editing, each one undoable step.
    void addObject(ObjectKind kind, const BandRef& band, const QRectF& rect, const QString& text);
    // A field dropped on a band; in the rows it brings its title into the page header above it
    // (a sub-report's into its header).
    void dropField(const QString& field, const BandRef& band, QPointF at);
    void moveSelection(double dx, double dy, bool resize);
    void deleteSelection();
    void copySelection();
    void cutSelection();
    // A copy over its original lands one step lower and to the right.
    void paste(double step);
    static bool canPaste();
    void selectAll();
    void align(AlignEdge edge);
    void restackSelection(bool front);
    // Each selected text takes the size that shows its text whole on one line per line.
    void fitSelectionToContent();
    void addBandOfKind(BandKind kind);
    // A group inside the innermost one, grouping by the field when one is given.
    void addGroup(const QString& field);
    void removeSelectedBand();
    void setObjectText(const ObjectRef& ref, const QString& text);
    // A property of the selection (the page when nothing is selected) by its key.
    void setProperty(const QString& key, const QVariant& value);

signals:
    // The template or the selection is another.
    void changed();

private:
    class Command;

    void push(const ReportTemplate& reportAfter, const QString& what, const DesignerSelection& selectionAfter, int mergeKey);
    // The level of the path shown anew from the whole report.
    void showLevel();

    ReportTemplate m_report;
    DesignerLevelPath m_path;
    ReportTemplate m_template;
    ReportTemplate m_outer; // the level around the open sub-report
    DesignerSelection m_selection;
    int m_selectionEpoch = 0;
    QString m_fileName;
    const ReportDataset* m_data;
    BandRef m_clipboardBand;
    QUndoStack* m_undo;
};
