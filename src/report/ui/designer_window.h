#pragma once

#include "report/engine/dataset.h"
#include "report/engine/subreport.h"
#include "report/engine/report_parameters.h"
#include "report/export/export_filter.h"
#include "report/ui/designer_document.h"
#include "report/ui/designer_view.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QUndoStack;
class DesignerFieldList;
class DesignerLevelBar;
class DesignerPropertyPanel;
class ReportDataset;

// What the designer opens on, and where what the author opens and saves goes back to.
struct DesignerSession {
    ReportTemplate reportTemplate;
    QString fileName;
    // The rows of the last report: their fields to drop, and what the preview shows.
    const ReportDataset* data = nullptr;
    // Where the file dialogs start.
    QString openFolder, saveFolder;
    // The preview's export targets (the designer keeps its own when none are given).
    ExportFilterSet* filters = nullptr;
    // Told the template and its file whenever the author opens, saves or begins one.
    std::function<void(const ReportTemplate&, const QString& fileName)> keep;
    // Runs the template's own query; without it the designer keeps to data.
    ReportQueryRunner runQuery;
    // Prepares the queries of sub-reports for the preview.
    SubreportStatementSource subreports;
};

// The report designer: a top-level window over a copy of a template, with the sheet in the
// middle, the fields on the left and the properties of the selection on the right.
class ReportDesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    using Tool = DesignerTool;

    explicit ReportDesignerWindow(DesignerSession session);
    ~ReportDesignerWindow() override;

    DesignerDocument& document() const { return *m_document; }
    // The level edited: the report, or the sub-report open.
    const ReportTemplate& model() const { return m_document->model(); }
    // The whole report, as it is saved.
    const ReportTemplate& report() const { return m_document->report(); }
    const DesignerSelection& selection() const { return m_document->selection(); }
    void setSelection(const DesignerSelection& selection) { m_document->setSelection(selection); }
    QUndoStack* undoStack() const { return m_document->undoStack(); }
    const QString& fileName() const { return m_document->fileName(); }
    bool isModified() const { return m_document->isModified(); }
    const DesignerSession& session() const { return m_session; }
    // The rows the designer works with: those of the template's own query when it has one and
    // there is a database to ask, else the session's.
    const ReportDataset* data() const;

    // Files. The file dialogs open in the folders of the session.
    void newTemplate();
    void openTemplate();
    bool openFile(const QString& path);
    bool save();
    bool saveAs();
    bool saveTo(const QString& path);
    void preview();
    static QStringList recentFiles();

    void setTool(Tool tool);
    // A new object drawn with a tool; a field without a field to take asks for its expression.
    void placeObject(Tool tool, const BandRef& band, QRectF rect);
    // The expression editor for a property: a text object's text, a value, a group's expression.
    void editExpression(const QString& key);
    // The template's query in the SQL editor.
    void editQuery(const QString& key);
    // A picture's file from the file dialog.
    void choosePictureFile(const QString& key);
    void setSnap(bool on, double size);
    // Shows the bands of a sub-report of this level to edit them; back to the level of that
    // depth (0: the report).
    void openSubreport(const ObjectRef& ref);
    void leaveSubreport(int depth);

    DesignerView* view() const { return m_view; }
    DesignerPropertyPanel* properties() const { return m_properties; }
    DesignerFieldList* fieldList() const { return m_fields; }
    QComboBox* zoomBox() const { return m_zoomBox; }
    DesignerLevelBar* levelBar() const { return m_levelBar; }
    QAction* action(const QString& key) const { return m_actions.value(key); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBars();
    void buildDocks();
    QAction* addAction(const QString& key, const QString& text, const QKeySequence& shortcut,
                       std::function<void()> work);
    void refresh();
    void refreshActions();
    void updateTitle();
    bool maybeSave();
    void startDocument(const ReportTemplate& t, const QString& fileName);
    // The Data panel after the template's query changed or another template began.
    void refreshFields();
    // The band commands, the sheet's captions and the level line for the level shown.
    void showLevel();
    void rememberRecent(const QString& path);
    void fillRecentMenu();
    void error(const QString& text);
    void showContextMenu(const QPoint& globalPos);
    void setProperty(const QString& key, const QVariant& value);
    // The field picked in the field list, else the first one; empty when there is none.
    QString pickedField() const;

    DesignerSession m_session;
    ExportFilterSet m_ownFilters;
    DesignerDocument* m_document = nullptr;
    DesignerScene* m_scene = nullptr;
    DesignerView* m_view = nullptr;
    DesignerPropertyPanel* m_properties = nullptr;
    DesignerFieldList* m_fields = nullptr;
    QLabel* m_fieldsCaption = nullptr;
    QLabel* m_fieldsNote = nullptr;
    // The rows (or only the columns) of the template's own query, and the query they are of.
    std::unique_ptr<ReportDataset> m_queryData;
    // The columns of the open sub-report's query, and the level they are of.
    std::unique_ptr<ReportDataset> m_subreportData;
    std::optional<DesignerLevelPath> m_shownPath;
    DesignerLevelBar* m_levelBar = nullptr;
    ParameterValues m_parameterValues; // the preview's last answers
    std::optional<QString> m_fieldsQuery;
    QString m_fieldsName;
    bool m_queryFailed = false;
    QComboBox* m_zoomBox = nullptr;
    QCheckBox* m_snapBox = nullptr;
    QDoubleSpinBox* m_gridBox = nullptr;
    QMenu* m_recentMenu = nullptr;
    QLabel* m_status = nullptr;
    QActionGroup* m_tools = nullptr;
    QHash<QString, QAction*> m_actions;
};
