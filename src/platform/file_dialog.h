#pragma once

#include "platform/desktop_services.h"

#include <QObject>

// A file dialog component owned by a form: its settings (filter, default extension) live in
// the component, the dialog itself is shown through the desktop services.
class TFileDialog : public QObject {
    Q_OBJECT
public:
    enum class Kind { Open, Save };

    TFileDialog(Kind kind, QObject* parent = nullptr) : QObject(parent), m_kind(kind) {}

    Kind kind() const { return m_kind; }
    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    QString defaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& ext) { m_defaultExt = ext; }

    // Shows the dialog above owner; the chosen file, or empty text when the user cancelled.
    QString execute(QWidget* owner, const QString& fileName = QString()) const
    {
        DesktopServices::FileDialog request;
        request.parent = owner;
        request.filter = m_filter;
        request.fileName = fileName;
        request.defaultExt = m_defaultExt;
        return m_kind == Kind::Open ? desktop().openFileName(request)
                                    : desktop().saveFileName(request);
    }

private:
    Kind m_kind;
    QString m_filter;
    QString m_defaultExt;
};
