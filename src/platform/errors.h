#pragma once

#include <QString>
#include <stdexcept>

// The one small hierarchy of failures. Every error carries a text meant for the user;
// the guard at the toolkit's entry points shows it in the general error report.
class VarnelError : public std::runtime_error {
public:
    explicit VarnelError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

class DatabaseError : public VarnelError {
public:
    using VarnelError::VarnelError;
};

class FileError : public VarnelError {
public:
    using VarnelError::VarnelError;
};

class ConversionError : public VarnelError {
public:
    using VarnelError::VarnelError;
};

class ComponentError : public VarnelError {
public:
    using VarnelError::VarnelError;
};

class FormatError : public VarnelError {
public:
    using VarnelError::VarnelError;
};
