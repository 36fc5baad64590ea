#include "report/export/picture_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/page_renderer.h"
#include "report/export/export_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

QString PictureExportFilter::key() const
{
    return m_format == Format::Jpeg ? QStringLiteral("jpeg") : QStringLiteral("tiff");
}

QString PictureExportFilter::caption() const
{
    return m_format == Format::Jpeg ? Lang.caption("JPEG pictures") : Lang.caption("TIFF pictures");
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
