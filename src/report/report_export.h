#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class PageDocument;
class QWidget;

// Told how far an export or a preparation has come; answering false cancels it.
using ReportProgress = std::function<bool(int done, int total)>;

// A target the prepared pages can be written to. The caller names the file and chooses
// whether the filter asks the user first (file name and its settings).
class ExportFilter {
public:
    virtual ~ExportFilter() = default;

    // Stable key ("pdf", "jpeg", "tiff"), the menu caption and the file extension without dot.
    virtual QString key() const = 0;
    virtual QString caption() const = 0;
    virtual QString extension() const = 0;

    void setFileName(const QString& name) { m_fileName = name; }
    const QString& fileName() const { return m_fileName; }
    void setShowDialog(bool show) { m_showDialog = show; }
    bool showDialog() const { return m_showDialog; }

    // Writes the pages. False when the user cancelled (a dialog or the progress); nothing
    // half-written is left then. Throws FileError when the file cannot be written.
    bool run(const PageDocument& pages, QWidget* parent, const ReportProgress& progress);
    // The files the last run wrote (one per page for page pictures).
    const QStringList& writtenFiles() const { return m_written; }

protected:
    // Asks the user for the file and settings; false when cancelled.
    virtual bool askUser(QWidget* parent);
    virtual bool write(const PageDocument& pages, const ReportProgress& progress) = 0;
    QStringList m_written;

private:
    QString m_fileName;
    bool m_showDialog = false;
};

// PDF with embedded fonts; texts stay searchable.
class PdfExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("pdf"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("pdf"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};

// One picture per page, numbered when there is more than one page.
class PictureExportFilter : public ExportFilter {
public:
    enum class Format { Jpeg, Tiff };
    explicit PictureExportFilter(Format format) : m_format(format) {}

    QString key() const override;
    QString caption() const override;
    QString extension() const override;

    void setResolution(int dpi) { m_dpi = dpi; }
    int resolution() const { return m_dpi; }
    void setQuality(int quality) { m_quality = quality; }  // 1..100, JPEG only
    int quality() const { return m_quality; }

    // The settings question (resolution and quality) after the file dialog. Tests replace it;
    // the default shows a small dialog.
    using SettingsQuestion = std::function<bool(QWidget* parent, int& dpi, int& quality)>;
    static void setSettingsQuestion(SettingsQuestion question);

    // The file written for a page: the name itself for a single page, else name_0001.ext.
    static QString pageFileName(const QString& fileName, int page, int pageCount);

protected:
    bool askUser(QWidget* parent) override;
    bool write(const PageDocument& pages, const ReportProgress& progress) override;

private:
    Format m_format;
    int m_dpi = 150;
    int m_quality = 90;
};

// Every export target the program knows, in menu order. Later filters register here.
class ExportFilters {
public:
    using Factory = std::function<std::unique_ptr<ExportFilter>()>;
    static void add(const QString& key, Factory factory);
    static QStringList keys();
    // A new filter for the key; null when unknown.
    static std::unique_ptr<ExportFilter> make(const QString& key);
};
