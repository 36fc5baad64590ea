#pragma once

#include "platform/sql_connection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>


// One value as a report sees it. Texts and BLOBs are views into the dataset's storage,
// valid while the dataset keeps its rows.
struct DatasetValue {
    enum class Type : quint8 { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    const char* bytes = nullptr; // UTF-8 for texts
    qsizetype size = 0;

    QString text() const;        // display text of any type; empty for null and BLOB
    QByteArray blob() const;     // raw bytes of a BLOB or text
};

// The result of the last query, kept compactly (one small cell per value, texts and BLOBs in
// one byte store) until a later query replaces it. Templates find it under its user name.
//
// A run that reads the rows once (a document written, the batch command) can take them straight
// from the statement instead (setStream): then only the rows around the filler's cursor are in
// memory, whatever the length of the result. Asked to keep them, the dataset packs the rows it
// reads into a store that goes to a temporary file past a few megabytes, and brings them back into
// memory the first time anything reads them again: a later report without a query of its own
// sees the same rows as with setResult.
class ReportDataset {
public:
    ReportDataset();
    ~ReportDataset();
    ReportDataset(const ReportDataset&) = delete;
    ReportDataset& operator=(const ReportDataset&) = delete;

    void setUserName(const QString& name) { m_userName = name; }
    const QString& userName() const { return m_userName; }

    // Replaces the rows with those of a result read in memory.
    void setResult(const QueryResult& result);
    // Replaces the rows with those of a statement, stepping it to its end.
    void setResult(SqlStatement& statement);
    // Start of a row-by-row fill: the columns, then appendRow/setCell per row.
    void reset(const QStringList& columns);
    void clear();

    // Takes the rows from the statement as they are asked for; keepRows: as above. The
    // statement's connection must outlive the stream (finishStream lets the statement go).
    void setStream(SqlStatement&& statement, bool keepRows);
    // While a stream runs: rows are read as the cursor reaches them, and only the last few are
    // held; rowCount() is the number read so far.
    bool isStreaming() const { return m_stream != nullptr; }
    // Ends a stream: the rows not yet read are read (and kept, when asked), and the statement is
    // let go. Without keepRows the dataset is left with its columns and no rows. Throws
    // DatabaseError, or FileError when the kept rows cannot be written.
    void finishStream();
    // Packed rows kept in memory before they go to the temporary file (tests make it small).
    void setKeptSpillThreshold(qsizetype bytes) { m_keptThreshold = bytes; }

    const QStringList& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    qsizetype rowCount() const
    {
        if (m_kept)
            loadKept();
        return m_base + (m_columns.isEmpty() ? 0 : qsizetype(m_cells.size()) / m_columns.size());
    }
    // Whether there is such a row; a stream reads up to it.
    bool hasRow(qsizetype row) const;
    // Column by name, ignoring letter case; -1 when there is none.
    int columnIndex(const QString& name) const;
    // A row a stream has already let go of reads as nulls.
    DatasetValue value(qsizetype row, int column) const;
    // Bytes held for the rows (cells and store), for memory accounting.
    qsizetype memoryUse() const;

    // Appending a row: call appendRow, then one setter per column in order.
    void appendRow();
    void addNull();
    void addInteger(qint64 v);
    void addReal(double v);
    void addText(const char* utf8, qsizetype size);
    void addBlob(const char* bytes, qsizetype size);
    void addValue(const SqlValue& value);

    // The filler's view: forward only, with one row of look-ahead for group breaks.
    class Cursor {
    public:
        explicit Cursor(const ReportDataset& data) : m_data(&data) {}
        bool next() { return m_data->hasRow(++m_row); }
        qsizetype row() const { return m_row; }
        bool hasNext() const { return m_data->hasRow(m_row + 1); }
        qsizetype nextRow() const { return m_row + 1; }

    private:
        const ReportDataset* m_data;
        qsizetype m_row = -1;
    };
    Cursor cursor() const { return Cursor(*this); }

private:
    struct Cell {
        DatasetValue::Type type;
        quint32 size;
        union {
            qint64 integer;
            double real;
            quint64 offset;
        };
    };
    struct Stream;
    struct Kept;
    void addStored(DatasetValue::Type type, const char* bytes, qsizetype size);
    void addFrom(SqlStatement& statement, int column);
    bool readStreamed() const;
    void dropRowsBefore(qsizetype row) const;
    void loadKept() const;

    QString m_userName = QStringLiteral("Report");
    QStringList m_columns;
    // The rows in memory: all of them, or while a stream runs the last few read, the first of
    // them being row m_base. Reading a stream or bringing kept rows back changes what is held,
    // never the rows the dataset shows: hence mutable.
    mutable std::vector<Cell> m_cells;
    mutable std::string m_store;
    mutable qsizetype m_base = 0;
    mutable std::unique_ptr<Stream> m_stream;
    mutable std::unique_ptr<Kept> m_kept; // rows packed away, brought back on the next read
    qsizetype m_keptThreshold = 8 * 1024 * 1024;
};

// Runs a template's own query for the designer: fills the dataset with its rows, or with its
// columns alone when columnsOnly, the values of the report's parameters bound to its ":name"
// parameters. Throws the database's error when the query fails.
using ReportQueryRunner =
    std::function<void(const QString& query, ReportDataset& into, bool columnsOnly, const SqlParams& params)>;
