#include "controls/stored_files.h"

#include "platform/errors.h"
#include "platform/file_dialog.h"
#include "platform/form.h"
#include "platform/image_list.h"

#include <QFile>
#include <QSaveFile>

namespace StoredFiles {

QString fileNamePart(const QString& path)
{
    const qsizetype cut = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

QString extensionOf(const QString& path)
{
    const QString name = fileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    return bytes;
}

void requireReadable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
}

void writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw FileError(QStringLiteral("The file %1 cannot be written: %2").arg(path, file.errorString()));
}

QWidget* ownerWindow(QWidget* control)
{
    if (TForm* form = TForm::formOf(control))
        return form;
    return control ? control->window() : nullptr;
}

namespace {
QObject* mainFormComponent(const QString& name)
{
    TForm* main = Forms::mainForm();
    return main ? main->findComponent(name) : nullptr;
}
} // namespace

TFileDialog* mainFormDialog(const QString& name)
{
    auto* dialog = qobject_cast<TFileDialog*>(mainFormComponent(name));
    if (!dialog)
        throw ComponentError(QStringLiteral("The main form has no dialog %1").arg(name));
    return dialog;
}

TImageList* mainFormImageList(const QString& name)
{
    return qobject_cast<TImageList*>(mainFormComponent(name));
}

} // namespace StoredFiles
