#pragma once

#include "report/engine/progress.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class PageDocument;

// A target the prepared pages can be written to, under the file name it is given. Whether the
// user is asked first (the file and the filter's settings) is the caller's business: the flag
// travels with the filter, the asking is done by the report's windows.
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

    // Writes the pages. False when the progress cancelled; nothing half-written is left then.
    // Throws FileError when the file cannot be written or no file is named.
    bool run(const PageDocument& pages, const ReportProgress& progress);
    // The files the last run wrote (one per page for page pictures).
    const QStringList& writtenFiles() const { return m_written; }

protected:
    virtual bool write(const PageDocument& pages, const ReportProgress& progress) = 0;
    // Filters that write more than the one file named list what they wrote here.
    QStringList m_written;

private:
    QString m_fileName;
    bool m_showDialog = false;
};

// Every export target the program knows, in menu order.
class ExportFilters {
public:
    using Factory = std::function<std::unique_ptr<ExportFilter>()>;
    static void add(const QString& key, Factory factory);
    static QStringList keys();
    // A new filter for the key; null when unknown.
    static std::unique_ptr<ExportFilter> make(const QString& key);
};

// One filter of each kind, made when first asked for and kept with its settings (the file it
// last wrote, the resolution and quality of page pictures) for as long as the set lives.
class ExportFilterSet {
public:
    // Null for a key no filter registers under.
    ExportFilter* filter(const QString& key);

private:
    std::vector<std::pair<QString, std::unique_ptr<ExportFilter>>> m_filters;
};
