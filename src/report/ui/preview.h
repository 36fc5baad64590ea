#pragma once

#include <QDialog>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QScrollArea;
class QSpinBox;
class QToolButton;
class ExportFilterSet;
class PageDocument;
class PageRenderer;

// The pages of a prepared report on screen: zoom, page by page, search, print and export.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    enum class ZoomMode { WholePage, PageWidth, Percent };

    // The export menu writes through the filters of the set (they keep their settings).
    ReportPreview(const PageDocument& pages, ExportFilterSet& filters, QWidget* parent = nullptr);
    ~ReportPreview() override;

    int currentPage() const { return m_page; }
    int pageCount() const;
    void showPage(int page);
    ZoomMode zoomMode() const { return m_zoomMode; }
    int zoomPercent() const { return m_percent; }
    void setZoom(ZoomMode mode, int percent = 100);
    // Looks for the text from the current page on; false when it is nowhere.
    bool findNext(const QString& text);
    const std::vector<int>& highlighted() const { return m_hits; }
    QLineEdit* searchBox() const { return m_search; }
    // The print dialog, then the printer; false when cancelled.
    bool print();
    // What an export proposes to call the file (the report's name; "Report" when it has none).
    void setReportName(const QString& name);
    const QString& reportName() const { return m_reportName; }
    QToolButton* exportButton() const { return m_export; }

    // Millimetres to screen pixels at the zoom in use.
    double pixelsPerMm() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PageView;
    void buildToolBar(class QVBoxLayout* layout);
    void buildExportMenu();
    void updateView();
    void zoomBy(int steps);
    void runExport(const QString& key);

    const PageDocument& m_pages;
    ExportFilterSet& m_filters;
    std::unique_ptr<PageRenderer> m_renderer;
    int m_page = 0;
    ZoomMode m_zoomMode = ZoomMode::WholePage;
    int m_percent = 100;
    QString m_hitText;
    QString m_reportName;
    std::vector<int> m_hits;

    QSpinBox* m_pageBox = nullptr;
    QLabel* m_ofPages = nullptr;
    QComboBox* m_zoom = nullptr;
    QLineEdit* m_search = nullptr;
    QToolButton* m_export = nullptr;
    QListWidget* m_pageList = nullptr;
    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
};
