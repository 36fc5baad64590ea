#include "support/temp_project.h"

#include "platform/project_folder.h"

#include <QFile>
#include <QFileInfo>

TempProject::TempProject()
{
    setExeFolder(m_dir.path());
}

TempProject::~TempProject()
{
    setExeFolder(QString());
}

QString TempProject::path() const
{
    return m_dir.path() + u'/';
}

QString TempProject::file(const QString& name) const
{
    return path() + name;
}

void TempProject::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

void TempProject::write(const QString& name, const QString& utf8Text) const
{
    write(name, utf8Text.toUtf8());
}

QByteArray TempProject::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempProject::exists(const QString& name) const
{
    return QFileInfo::exists(file(name));
}
