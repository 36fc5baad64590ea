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

// code is SQLite's extended result code when the error came from SQLite, else 0.
class DatabaseError : public VarnelError {
public:
    explicit DatabaseError(const QString& message, int code = 0)
        : VarnelError(message), m_code(code) {}
    int code() const noexcept { return m_code; }
    // SQLite's primary result code (the low byte of the extended one).
    int primaryCode() const noexcept { return m_code & 0xff; }
    // SQLite's own text, kept for a detail line under a message of our own.
    QString detail;

private:
    int m_code = 0;
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
