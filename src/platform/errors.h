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

// Which rule of the schema a failed write broke.
enum class ConstraintKind { None, NotNull, Unique, Check, ForeignKey, Other };

// A failure of the database, in terms that do not depend on the back end. code is SQLite's
// extended result code when the error came from SQLite, else 0.
class DatabaseError : public VarnelError {
public:
    enum class Kind {
        Other,
        Busy,           // a lock held by another user outlasted the waiting time
        ReadOnly,       // the file, the folder or the user's rights allow no writing
        Full,           // the disk (or the server's) is full
        Constraint,     // a rule of the schema; see constraint and column
        ConnectionLost, // the server went away in the middle of work
        Unreachable,    // the server could not be reached at all
        PasswordRefused,
        Cancelled,      // the statement was cancelled by a newer one
    };

    explicit DatabaseError(const QString& message, int code = 0)
        : VarnelError(message), m_code(code) {}
    int code() const noexcept { return m_code; }
    // SQLite's primary result code (the low byte of the extended one).
    int primaryCode() const noexcept { return m_code & 0xff; }

    Kind kind = Kind::Other;
    ConstraintKind constraint = ConstraintKind::None;
    // The column the broken rule names; empty when the database names none.
    QString column;
    // The database's own text, kept for a detail line under a message of our own.
    QString detail;
    // Where in the statement the server found the fault, in characters from 1; 0 when it
    // pointed at no place.
    int position = 0;

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
