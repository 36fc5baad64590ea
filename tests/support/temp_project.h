#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A project folder in a temporary directory, set as the exe folder while it lives.
class TempProject {
public:
    TempProject();
    ~TempProject();

    QString path() const;               // ends with '/'
    QString file(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    void write(const QString& name, const QString& utf8Text) const;
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;

private:
    QTemporaryDir m_dir;
};
