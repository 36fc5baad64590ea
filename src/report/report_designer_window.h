#pragma once

#include "report/report_designer_model.h"

#include <QMainWindow>
#include <QHash>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QMenu;
class QUndoStack;
class DesignerFieldList;
class DesignerPropertyPanel;
class DesignerScene;
class DesignerView;
class Report;
class ReportDataset;

// The report designer: a top-level window over a copy of the report's template. Every change
// is an undo command that replaces the template; the scene and the panels are drawn from it.
// The report gets the template back whenever it is opened or saved (what was last saved is
// what the report holds when the window closes).
class ReportDesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Tool { Pointer, Text, Field, Line, Rectangle, Picture, CheckBox };

    ReportDesignerWindow(Report& report, ReportDataset* adapter, QString openFolder, QString saveFolder);
    ~ReportDesignerWindow() override;

    const ReportTemplate& model() const { return m_template; }
    const DesignerSelection& selection() const { return m_selection; }
    void setSelection(const DesignerSelection& selection);
    // One undoable change. Changes with the same merge key (non-zero) that follow each other
    // on the same selection become one step (arrow keys, one property typed in steps).
    void change(const ReportTemplate& after, const QString& what, const DesignerSelection& selectionAfter,
                int mergeKey = 0);
    // Shows a template that is not (yet) a change: the state while the mouse drags.
    void showDraft(const ReportTemplate& draft, const DesignerSelection& selection);
    // Used by the undo commands.
    void restore(const ReportTemplate& t, const DesignerSelection& selection);

    QUndoStack* undoStack() const { return m_undo; }
    const QString& fileName() const { return m_fileName; }
    bool isModified() const;
    const ReportDataset* data() const { return m_adapter; }

    // Files. The file dialogs open in the folders the caller gave.
    void newTemplate();
    void openTemplate();
    bool openFile(const QString& path);
    bool save();
    bool saveAs();
    bool saveTo(const QString& path);
    void preview();
    static QStringList recentFiles();

    // Objects and bands.
    Tool tool() const { return m_tool; }
    void setTool(Tool tool);
    void placeObject(Tool tool, const BandRef& band, QRectF rect);
    void dropField(const QString& field, const BandRef& band, QPointF at);
    void moveSelection(double dx, double dy, bool resize);
    void deleteSelection();
    void copySelection();
    void cutSelection();
    void paste();
    void selectAll();
    void align(AlignEdge edge);
    void restackSelection(bool front);
    void addBandOfKind(BandKind kind);
    void addGroup();
    void removeSelectedBand();
    void setObjectText(const ObjectRef& ref, const QString& text);
    // A property of the selection (the page when nothing is selected) by its key.
    void setProperty(const QString& key, const QVariant& value);
    // The expression editor for a property: a text object's text, a value, a group's expression.
    void editExpression(const QString& key);

    bool snapToGrid() const;
    double gridSize() const;
    void setSnap(bool on, double size);

    DesignerView* view() const { return m_view; }
    DesignerPropertyPanel* properties() const { return m_properties; }
    DesignerFieldList* fieldList() const { return m_fields; }
    QComboBox* zoomBox() const { return m_zoomBox; }
    QAction* action(const QString& key) const { return m_actions.value(key); }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Command;
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
    void rememberRecent(const QString& path);
    void fillRecentMenu();
    void error(const QString& text);
    std::optional<BandRef> targetBand() const;

    Report& m_report;
    ReportDataset* m_adapter;
    QString m_openFolder, m_saveFolder;
    ReportTemplate m_template;
    DesignerSelection m_selection;
    int m_selectionEpoch = 0;
    QString m_fileName;
    Tool m_tool = Tool::Pointer;
    std::vector<ReportObject> m_clipboard;
    BandRef m_clipboardBand;

    QUndoStack* m_undo = nullptr;
    DesignerScene* m_scene = nullptr;
    DesignerView* m_view = nullptr;
    DesignerPropertyPanel* m_properties = nullptr;
    DesignerFieldList* m_fields = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QCheckBox* m_snapBox = nullptr;
    QDoubleSpinBox* m_gridBox = nullptr;
    QMenu* m_recentMenu = nullptr;
    QLabel* m_status = nullptr;
    QActionGroup* m_tools = nullptr;
    QHash<QString, QAction*> m_actions;
};
