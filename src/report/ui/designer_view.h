#pragma once

#include "report/ui/designer_document.h"
#include "report/ui/designer_scene.h"

#include <QGraphicsView>
#include <QPlainTextEdit>
#include <QPointer>
#include <optional>

class QRubberBand;
class DesignerRuler;

// What a press on the sheet does: select and move, or draw a new object of a kind.
enum class DesignerTool { Pointer, Text, Field, Line, Rectangle, Picture, CheckBox, Subreport, Barcode, Chart };

// The page view: the author's mouse, keys and drops turn into changes of the document.
class DesignerView : public QGraphicsView {
    Q_OBJECT
public:
    DesignerView(DesignerDocument& document, DesignerScene* scene, QWidget* parent = nullptr);
    ~DesignerView() override;

    void setZoom(int percent);
    // The rulers drawn anew for the bands the scene shows now.
    void refreshRulers();
    DesignerRuler* topRuler() const { return m_top; }
    DesignerRuler* leftRuler() const { return m_left; }
    // Shows the top left corner of the sheet, where a template starts.
    void scrollToStart();
    int zoom() const { return m_zoom; }
    double pixelsPerMm() const;
    DesignerScene* designerScene() const { return m_scene; }

    DesignerTool tool() const { return m_tool; }
    void setTool(DesignerTool tool);
    // Moves, sizes and new objects snap to a grid of that many millimetres while snapping is on.
    void setSnap(bool on, double size);
    bool snapToGrid() const { return m_snapOn; }
    double gridSize() const { return m_gridSize; }
    // What the arrow keys move by: the grid, or a tenth of a millimetre with Ctrl.
    double step() const;

    // Screen position of a point given in millimetres within a band (for tests and drops).
    QPoint viewPoint(const BandRef& band, QPointF inBand) const;
    QPoint viewPointOfScene(QPointF scene) const;
    // The text editor shown over a text while it is edited in place (null when none).
    QPlainTextEdit* inPlaceEditor() const { return m_editor; }
    void editInPlace(const ObjectRef& ref);
    void finishInPlaceEdit(bool keep);

    static QString fieldMimeType();

signals:
    // An object of the tool's kind drawn on a band (an empty rectangle: just a click).
    void objectDrawn(DesignerTool tool, const BandRef& band, const QRectF& rect);
    // The value of a picture or a check box is to be edited (double-click).
    void valueRequested();
    // A sub-report is to be opened, to edit its own bands (double-click).
    void subreportRequested(const ObjectRef& ref);
    void toolChanged(DesignerTool tool);
    void zoomChanged(int percent);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Move, Resize, BandHeight, Rubber, Create };
    struct Hit {
        ObjectRef object;
        int handle = -1;
    };

    void press(QMouseEvent* event);
    void move(QMouseEvent* event);
    void release(QMouseEvent* event);
    std::optional<Hit> handleAt(QPointF p) const;
    std::optional<ObjectRef> objectAt(QPointF p) const;
    std::optional<BandRef> bandEdgeAt(QPointF p) const;
    double snap(double mm) const;
    double tolerance() const; // a few pixels, in millimetres
    void updateCursor(QPointF p);
    ReportTemplate movedDraft(QPointF p, DesignerSelection& selection) const;
    ReportTemplate resizedDraft(QPointF p) const;
    void showDraft(const ReportTemplate& draft, const DesignerSelection& selection);
    void placeRulers();

    DesignerDocument& m_document;
    DesignerScene* m_scene;
    int m_zoom = 100;
    bool m_shown = false;
    DesignerTool m_tool = DesignerTool::Pointer;
    bool m_snapOn = true;
    double m_gridSize = 1;

    Drag m_drag = Drag::None;
    QPointF m_start;
    QPoint m_startView;
    ReportTemplate m_origin;
    DesignerSelection m_originSelection;
    DesignerSelection m_draftSelection;
    Hit m_hit;
    BandRef m_band;
    bool m_additive = false;
    QRubberBand* m_rubber = nullptr;
    QPointer<QPlainTextEdit> m_editor;
    ObjectRef m_edited;
    DesignerRuler* m_top = nullptr;
    DesignerRuler* m_left = nullptr;
};
