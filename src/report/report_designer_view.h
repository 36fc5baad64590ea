#pragma once

#include "report/report_designer_model.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>
#include <optional>
#include <vector>

#include <QPlainTextEdit>
class QRubberBand;
class ReportDesignerWindow;
class DesignerRuler;

// Where the bands stand on the designer's sheet, in millimetres: each band is a caption strip
// with its name over an area at the band's true height, stacked in print order.
struct BandPlace {
    BandRef band;
    QRectF caption;
    QRectF area;
};

class DesignerLayout {
public:
    static constexpr double captionHeight = 4.5;

    static DesignerLayout of(const ReportTemplate& t);

    const std::vector<BandPlace>& bands() const { return m_bands; }
    const BandPlace* find(const BandRef& band) const;
    // The band whose area holds the point; bandAt takes its caption too.
    const BandPlace* areaAt(QPointF p) const;
    const BandPlace* captionAt(QPointF p) const;
    const BandPlace* bandAt(QPointF p) const;
    // The band whose area is nearest to the point vertically (drops below the last band land
    // in it).
    const BandPlace* nearestArea(QPointF p) const;
    QRectF sheet() const { return m_sheet; }
    QRectF objectRect(const ReportTemplate& t, const ObjectRef& ref) const;

private:
    std::vector<BandPlace> m_bands;
    QRectF m_sheet;
};

// The sheet with its bands and objects, rebuilt from a template after every change (the
// template stays the only state; items only draw it).
class DesignerScene : public QGraphicsScene {
public:
    explicit DesignerScene(QObject* parent = nullptr);

    void show(const ReportTemplate& t, const DesignerSelection& selection);
    const DesignerLayout& layout() const { return m_layout; }
    void setGrid(bool visible, double size);
    bool gridVisible() const { return m_gridVisible; }
    double gridSize() const { return m_gridSize; }

private:
    DesignerLayout m_layout;
    bool m_gridVisible = true;
    double m_gridSize = 1;
};

// The page view: the author's mouse, keys and drops turn into changes of the template.
class DesignerView : public QGraphicsView {
    Q_OBJECT
public:
    DesignerView(ReportDesignerWindow& window, DesignerScene* scene);
    ~DesignerView() override;

    void setZoom(int percent);
    // Shows the top left corner of the sheet, where a template starts.
    void scrollToStart();
    int zoom() const { return m_zoom; }
    double pixelsPerMm() const;
    DesignerScene* designerScene() const { return m_scene; }

    // Screen position of a point given in millimetres within a band (for tests and drops).
    QPoint viewPoint(const BandRef& band, QPointF inBand) const;
    QPoint viewPointOfScene(QPointF scene) const;
    // The text editor shown over a text while it is edited in place (null when none).
    QPlainTextEdit* inPlaceEditor() const { return m_editor; }
    void editInPlace(const ObjectRef& ref);
    void finishInPlaceEdit(bool keep);

    static QString fieldMimeType();

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
    void placeRulers();

    ReportDesignerWindow& m_window;
    DesignerScene* m_scene;
    int m_zoom = 100;
    bool m_shown = false;

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
