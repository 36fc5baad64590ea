#include "report/report_export.h"

#include "platform/desktop_services.h"
#include "report/export_html.h"
#include "report/export_ods.h"
#include "report/export_odt.h"
#include "report/export_rtf.h"
#include "report/export_xls.h"
#include "platform/errors.h"
#include "report/page_document.h"
#include "report/page_renderer.h"
#include "report/report_texts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>

bool ExportFilter::run(const PageDocument& pages, QWidget* parent, const ReportProgress& progress)
{
    m_written.clear();
    if (m_showDialog && !askUser(parent))
        return false;
    if (m_fileName.isEmpty())
        throw FileError(QStringLiteral("No file name is given for the %1 export.").arg(caption()));
    return write(pages, progress);
}

bool ExportFilter::askUser(QWidget* parent)
{
    DesktopServices::FileDialog dialog;
    dialog.parent = parent;
    dialog.title = caption();
    dialog.filter = caption() + QStringLiteral("|*.") + extension();
    dialog.defaultExt = extension();
    dialog.fileName = m_fileName;
    const QString chosen = desktop().saveFileName(dialog);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

namespace {

[[noreturn]] void cannotWrite(const QString& path, const QString& reason)
{
    throw FileError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

QPageSize pageSizeOf(const PageDocument& pages, int page)
{
    return QPageSize(pages.pageSize(page), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

} // namespace

QString PdfExportFilter::caption() const
{
    return reportTexts().pdfFilter;
}

bool PdfExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    // Written under a temporary name and renamed at the end: a cancelled or failed export
    // leaves no half-written file.
    QSaveFile file(fileName());
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(fileName(), file.errorString());
    constexpr int dpi = 720; // the layout grid: texts land where they were measured
    QPdfWriter writer(&file);
    writer.setResolution(dpi);
    writer.setCreator(QStringLiteral("Varnel"));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    if (pages.pageCount() > 0)
        writer.setPageSize(pageSizeOf(pages, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        cannotWrite(fileName(), QStringLiteral("the PDF writer did not start"));
    PageRenderer::scaleToMillimetres(painter, dpi);
    const PageRenderer renderer(pages);
    const int count = pages.pageCount();
    for (int i = 0; i < count; ++i) {
        if (progress && !progress(i, count)) {
            painter.end();
            file.cancelWriting();
            return false;
        }
        if (i > 0) {
            writer.setPageSize(pageSizeOf(pages, i));
            writer.newPage();
        }
        renderer.paint(painter, i);
    }
    painter.end();
    if (!file.commit())
        cannotWrite(fileName(), file.errorString());
    m_written << fileName();
    return true;
}

namespace {

PictureExportFilter::SettingsQuestion& settingsQuestion()
{
    static PictureExportFilter::SettingsQuestion question = [](QWidget* parent, int& dpi, int& quality) {
        const ReportTexts& t = reportTexts();
        QDialog dialog(parent);
        dialog.setWindowTitle(t.pictureSettings);
        auto* form = new QFormLayout(&dialog);
        auto* resolution = new QSpinBox(&dialog);
        resolution->setRange(36, 1200);
        resolution->setValue(dpi);
        auto* qualityBox = new QSpinBox(&dialog);
        qualityBox->setRange(1, 100);
        qualityBox->setValue(quality);
        form->addRow(t.resolution, resolution);
        form->addRow(t.quality, qualityBox);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        buttons->button(QDialogButtonBox::Ok)->setText(t.ok);
        buttons->button(QDialogButtonBox::Cancel)->setText(t.cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        dpi = resolution->value();
        quality = qualityBox->value();
        return true;
    };
    return question;
}

} // namespace

void PictureExportFilter::setSettingsQuestion(SettingsQuestion question)
{
    settingsQuestion() = std::move(question);
}

QString PictureExportFilter::key() const
{
    return m_format == Format::Jpeg ? QStringLiteral("jpeg") : QStringLiteral("tiff");
}

QString PictureExportFilter::caption() const
{
    return m_format == Format::Jpeg ? reportTexts().jpegFilter : reportTexts().tiffFilter;
}

QString PictureExportFilter::extension() const
{
    return m_format == Format::Jpeg ? QStringLiteral("jpg") : QStringLiteral("tif");
}

QString PictureExportFilter::pageFileName(const QString& fileName, int page, int pageCount)
{
    if (pageCount <= 1)
        return fileName;
    const QFileInfo info(fileName);
    const int digits = qMax(4, int(QString::number(pageCount).size()));
    const QString numbered = info.completeBaseName() + u'_' + QStringLiteral("%1").arg(page + 1, digits, 10, QChar(u'0'));
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    return info.dir().filePath(numbered + suffix);
}

bool PictureExportFilter::askUser(QWidget* parent)
{
    return ExportFilter::askUser(parent) && settingsQuestion()(parent, m_dpi, m_quality);
}

bool PictureExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    const PageRenderer renderer(pages);
    const int count = pages.pageCount();
    const QByteArray format = m_format == Format::Jpeg ? QByteArrayLiteral("jpeg") : QByteArrayLiteral("tiff");
    auto abandon = [&](QSaveFile* current) {
        if (current)
            current->cancelWriting();
        for (const QString& written : std::as_const(m_written))
            QFile::remove(written);
        m_written.clear();
    };
    for (int i = 0; i < count; ++i) {
        if (progress && !progress(i, count)) {
            abandon(nullptr);
            return false;
        }
        const QSizeF page = pages.pageSize(i);
        QImage image(qMax(1, qRound(page.width() / 25.4 * m_dpi)), qMax(1, qRound(page.height() / 25.4 * m_dpi)),
                     QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(m_dpi / 0.0254));
        image.setDotsPerMeterY(qRound(m_dpi / 0.0254));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PageRenderer::scaleToMillimetres(painter, m_dpi);
            renderer.paint(painter, i);
        }
        const QString name = pageFileName(fileName(), i, count);
        QSaveFile file(name);
        if (!file.open(QIODevice::WriteOnly)) {
            const QString reason = file.errorString();
            abandon(nullptr);
            cannotWrite(name, reason);
        }
        QImageWriter writer(&file, format);
        if (m_format == Format::Jpeg)
            writer.setQuality(m_quality);
        else
            writer.setCompression(1);
        if (!writer.write(image) || !file.commit()) {
            const QString reason = writer.error() != QImageWriter::UnknownError ? writer.errorString() : file.errorString();
            abandon(&file);
            cannotWrite(name, reason);
        }
        m_written << name;
    }
    return true;
}

namespace {

std::vector<std::pair<QString, ExportFilters::Factory>>& registry()
{
    static std::vector<std::pair<QString, ExportFilters::Factory>> filters = {
        {QStringLiteral("pdf"), [] { return std::make_unique<PdfExportFilter>(); }},
        {QStringLiteral("jpeg"), [] { return std::make_unique<PictureExportFilter>(PictureExportFilter::Format::Jpeg); }},
        {QStringLiteral("tiff"), [] { return std::make_unique<PictureExportFilter>(PictureExportFilter::Format::Tiff); }},
        {QStringLiteral("html"), [] { return std::make_unique<HtmlExportFilter>(); }},
        {QStringLiteral("odt"), [] { return std::make_unique<OdtExportFilter>(); }},
        {QStringLiteral("ods"), [] { return std::make_unique<OdsExportFilter>(); }},
        {QStringLiteral("rtf"), [] { return std::make_unique<RtfExportFilter>(); }},
        {QStringLiteral("xls"), [] { return std::make_unique<XlsExportFilter>(); }},
    };
    return filters;
}

} // namespace

void ExportFilters::add(const QString& key, Factory factory)
{
    for (auto& entry : registry())
        if (entry.first == key) {
            entry.second = std::move(factory);
            return;
        }
    registry().emplace_back(key, std::move(factory));
}

QStringList ExportFilters::keys()
{
    QStringList keys;
    for (const auto& entry : registry())
        keys << entry.first;
    return keys;
}

std::unique_ptr<ExportFilter> ExportFilters::make(const QString& key)
{
    for (const auto& entry : registry())
        if (entry.first == key)
            return entry.second();
    return nullptr;
}
