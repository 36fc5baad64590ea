#pragma once

#include "platform/sql_connection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
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
class ReportDataset {
public:
    ReportDataset() = default;
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

    const QStringList& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    qsizetype rowCount() const { return m_columns.isEmpty() ? 0 : qsizetype(m_cells.size()) / m_columns.size(); }
    // Column by name, ignoring letter case; -1 when there is none.
    int columnIndex(const QString& name) const;
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
        bool next() { return ++m_row < m_data->rowCount(); }
        qsizetype row() const { return m_row; }
        bool hasNext() const { return m_row + 1 < m_data->rowCount(); }
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
    void addStored(DatasetValue::Type type, const char* bytes, qsizetype size);

    QString m_userName = QStringLiteral("Report");
    QStringList m_columns;
    std::vector<Cell> m_cells;
    std::string m_store;
};

// Runs a template's own query for the designer: fills the dataset with its rows, or with its
// columns alone when columnsOnly, the values of the report's parameters bound to its ":name"
// parameters. Throws the database's error when the query fails.
using ReportQueryRunner =
    std::function<void(const QString& query, ReportDataset& into, bool columnsOnly, const SqlParams& params)>;
