#include "shell/database_copy.h"

#include "catalogue/letter_case.h"
#include "catalogue/schema.h"
#include "catalogue/sql_text.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"
#include "shell/project_database.h"

#include <QHash>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>

namespace {

const QString Usage = QStringLiteral(
    "usage: varnel --copy-database TARGET (a PostgreSQL connection URI, a \"key=value\" list or "
    "service=name)");

// A failure of the copy itself, after both databases were opened: nothing was written.
class CopyFailure : public VarnelError {
public:
    using VarnelError::VarnelError;
};

struct Column {
    QString name;
    QString type; // the server's name of its type
    int source = -1; // its place in the source's SELECT; -1 when the source lacks it
};

// The characters the server counts in a statement's text: it points at a place by them.
qsizetype serverLength(QStringView text)
{
    qsizetype n = text.size();
    for (const QChar c : text)
        if (c.isLowSurrogate())
            --n;
    return n;
}

// One INSERT of many rows. Where each value stands in the statement is kept, so that a value
// the server refuses (it points at the place) is named by its row and column.
class RowBatch {
public:
    RowBatch(const SqlDialect& d, QString table, const QList<Column>& columns)
        : m_table(std::move(table)), m_columns(columns)
    {
        QStringList names;
        for (const Column& c : m_columns)
            names.append(d.name(c.name));
        m_head = QStringLiteral("INSERT INTO ") + d.name(m_table) + QStringLiteral(" (")
                 + names.join(u',') + QStringLiteral(") VALUES ");
        clear();
    }

    void add(qint64 id, const std::vector<SqlValue>& row)
    {
        Row r{id, {}};
        put(m_rows.empty() ? QStringLiteral("(") : QStringLiteral(",("));
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            if (c > 0)
                put(QStringLiteral(","));
            const Column& column = m_columns.at(c);
            const SqlValue value = column.source >= 0 ? row.at(static_cast<size_t>(column.source))
                                                      : SqlValue();
            if (value.isNull())
                r.nullColumns.append(c);
            putValue(id, c, value);
        }
        put(QStringLiteral(")"));
        m_rows.push_back(std::move(r));
    }

    bool isEmpty() const { return m_rows.empty(); }
    // Large enough that the round trips do not count, small enough for any server's limits.
    bool isFull() const
    {
        return m_rows.size() >= 1000 || m_sql.size() >= 4'000'000 || m_paramBytes >= 64'000'000
               || m_params.size() >= 30'000;
    }

    void write(SqlConnection& target)
    {
        try {
            target.execute(m_sql, m_params);
        } catch (const DatabaseError& error) {
            throw CopyFailure(placeOf(error) + QStringLiteral(": ") + error.message());
        }
        clear();
    }

private:
    struct Row {
        qint64 id;
        QList<qsizetype> nullColumns;
    };
    struct Place {
        qsizetype first; // characters, from 1, as the server counts them
        qsizetype last;
        size_t row;
        qsizetype column;
    };

    void clear()
    {
        m_sql = m_head;
        m_length = serverLength(m_head);
        m_params.clear();
        m_paramBytes = 0;
        m_places.clear();
        m_rows.clear();
    }

    void put(const QString& text, qsizetype length = -1)
    {
        m_sql += text;
        m_length += length < 0 ? serverLength(text) : length;
    }

    void putValue(qint64 id, qsizetype c, const SqlValue& value)
    {
        const qsizetype first = m_length + 1;
        if (value.isNull()) {
            put(QStringLiteral("NULL"));
        } else if (m_columns.at(c).type == u"bytea") {
            // The bytes as they are. (A BLOB in a column of another type goes on as the text
            // it reads as, which is what the forms show of it; the server would turn the
            // bytes into their hex text.)
            const QByteArray bytes = value.toBytes();
            m_params.append({QStringLiteral("b%1").arg(m_params.size() + 1), bytes});
            m_paramBytes += bytes.size();
            // The connection numbers the named parameters $1, $2, ... in order of appearance,
            // and the server points into the statement as it receives it.
            put(u':' + m_params.back().first, 1 + QString::number(m_params.size()).size());
        } else {
            put(SqlStringLiteral(literalText(id, c, value)));
        }
        m_places.push_back({first, m_length, m_rows.size(), c});
    }

    // A value as the text of a literal that the server reads as the column's type: numbers
    // in full (the shortest text that reads back as the same double), texts as they are.
    QString literalText(qint64 id, qsizetype c, const SqlValue& value) const
    {
        switch (value.type()) {
        case SqlValue::Type::Integer:
            return QString::number(value.toInt());
        case SqlValue::Type::Real:
            return QString::number(value.toReal(), 'g', QLocale::FloatingPointShortest);
        default:
            break;
        }
        const QByteArray bytes = value.toBytes();
        if (bytes.contains('\0'))
            throw CopyFailure(rowPlace(id, c)
                              + QStringLiteral(": the text holds a NUL character, which a PostgreSQL "
                                               "text cannot hold"));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(bytes);
        if (utf8.hasError())
            throw CopyFailure(rowPlace(id, c)
                              + QStringLiteral(": the text is not valid UTF-8, which a PostgreSQL "
                                               "text cannot hold"));
        return text;
    }

    QString rowPlace(qint64 id, qsizetype c) const
    {
        return QStringLiteral("table %1, row id %2, column %3").arg(m_table).arg(id).arg(m_columns.at(c).name);
    }

    // The row and column of a refused value, as well as the server tells them.
    QString placeOf(const DatabaseError& error) const
    {
        if (error.position > 0) {
            const auto at = std::find_if(m_places.begin(), m_places.end(), [&](const Place& p) {
                return error.position >= p.first && error.position <= p.last;
            });
            if (at != m_places.end())
                return rowPlace(m_rows.at(at->row).id, at->column);
        }
        if (!error.column.isEmpty()) {
            qsizetype c = 0;
            while (c < m_columns.size() && m_columns.at(c).name != error.column)
                ++c;
            for (const Row& r : m_rows)
                if (c == m_columns.size() || r.nullColumns.contains(c))
                    return QStringLiteral("table %1, row id %2, column %3").arg(m_table).arg(r.id).arg(error.column);
        }
        return QStringLiteral("table %1, one of the rows with ids %2 to %3")
            .arg(m_table)
            .arg(m_rows.front().id)
            .arg(m_rows.back().id);
    }

    QString m_table;
    QList<Column> m_columns;
    QString m_head;
    QString m_sql;
    qsizetype m_length = 0;
    BlobParams m_params;
    qint64 m_paramBytes = 0;
    std::vector<Place> m_places;
    std::vector<Row> m_rows;
};

class DatabaseCopy {
public:
    DatabaseCopy(SqlConnection& source, SqlConnection& target) : m_source(source), m_target(target) {}

    CommandOutcome run()
    {
        const QString tablesIni = ExeFolder() + QStringLiteral("tables.ini");
        const QStringList tables = IniFile::load(tablesIni).sections();
        if (tables.isEmpty())
            throw CopyFailure(QStringLiteral("%1 names no tables: there is nothing to copy").arg(tablesIni));
        refuseTargetWithTables();
        noteTargetLocale();
        const QHash<QString, QString> sourceTables = sourceTableNames();
        QStringList extra;
        for (const QString& name : sourceTables)
            if (!tables.contains(name, Qt::CaseInsensitive) && !IsEngineTable(name))
                extra.append(name);
        extra.sort();
        for (const QString& name : extra)
            note(QStringLiteral("the table %1 of the source is not in tables.ini and is not copied").arg(name));

        // The foreign keys and indexes that the script adds after the tables are made once the
        // rows are in: rows come table by table, not parents first.
        const QStringList script = GetCreateTableScript(tablesIni, m_target.dialect());
        QStringList afterRows;
        SqlTransaction transaction(m_target);
        for (const QString& statement : script) {
            if (statement.startsWith(QLatin1String("CREATE TABLE ")))
                m_target.execute(statement);
            else
                afterRows.append(statement);
        }
        QList<qint64> counts;
        for (const QString& table : tables)
            counts.append(copyTable(table, sourceTables.value(table.toCaseFolded())));
        for (const QString& statement : afterRows) {
            try {
                m_target.execute(statement);
            } catch (const DatabaseError& error) {
                throw CopyFailure(QStringLiteral("the rows do not fit the schema's references (%1): %2")
                                      .arg(statement.trimmed(), error.message()));
            }
        }
        // The way the database keeps letters goes with its rows.
        if (ReadLettersAsTyped(m_source))
            KeepLettersAsTyped(m_target);
        for (const QString& table : tables) {
            const QString realign = m_target.dialect().idCounterPastLargest(table);
            if (!realign.isEmpty())
                m_target.execute(realign);
        }
        transaction.commit();
        return report(tables, counts);
    }

    const QStringList& notes() const { return m_notes; }

private:
    void note(const QString& text) { m_notes.append(QStringLiteral("note: ") + text); }

    void refuseTargetWithTables()
    {
        const QueryResult r = m_target.query(QStringLiteral(
            "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
            "AND table_type = 'BASE TABLE' ORDER BY table_name"));
        if (r.isEmpty())
            return;
        QStringList names;
        for (const auto& row : r.rows)
            names.append(row.front().toText());
        const qsizetype shown = 5;
        QString list = names.mid(0, shown).join(QStringLiteral(", "));
        if (names.size() > shown)
            list += QStringLiteral(" and %1 more").arg(names.size() - shown);
        throw CopyFailure(QStringLiteral("the target database %1 already holds tables (%2); the copy "
                                         "goes only into an empty database, and nothing was written")
                              .arg(m_target.path(), list));
    }

    // Searches ignore the letter case of every script only where the database's character
    // classes know them.
    void noteTargetLocale()
    {
        const QueryResult r = m_target.query(QStringLiteral(
            "SELECT pg_encoding_to_char(encoding), datctype FROM pg_database "
            "WHERE datname = current_database()"));
        if (r.isEmpty())
            return;
        const QString encoding = r.rows.front().at(0).toText();
        const QString ctype = r.rows.front().at(1).toText();
        if (encoding != u"UTF8" || ctype == u"C" || ctype == u"POSIX")
            note(QStringLiteral("the target database has the encoding %1 and the character type %2; "
                                "searches ignore the letter case of non-Latin letters only in a UTF8 "
                                "database made with a locale such as C.UTF-8")
                     .arg(encoding, ctype));
    }

    // The source's tables by their names in any letter case (SQLite finds them so).
    QHash<QString, QString> sourceTableNames()
    {
        QHash<QString, QString> names;
        const QueryResult r = m_source.query(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
        for (const auto& row : r.rows)
            names.insert(row.front().toText().toCaseFolded(), row.front().toText());
        return names;
    }

    QList<Column> targetColumns(const QString& table)
    {
        const QueryResult r = m_target.query(
            QStringLiteral("SELECT column_name, data_type FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name = ")
            + SqlStringLiteral(table) + QStringLiteral(" ORDER BY ordinal_position"));
        QList<Column> columns;
        for (const auto& row : r.rows)
            columns.append({row.at(0).toText(), row.at(1).toText()});
        return columns;
    }

    qint64 copyTable(const QString& table, const QString& sourceTable)
    {
        if (sourceTable.isEmpty()) {
            note(QStringLiteral("the table %1 is not in the source database; it is made empty").arg(table));
            return 0;
        }
        const SqlDialect& sqlite = m_source.dialect();
        QStringList sourceColumns;
        {
            SqlStatement probe = m_source.prepare(QStringLiteral("SELECT * FROM ") + sqlite.name(sourceTable));
            for (int c = 0; c < probe.columnCount(); ++c)
                sourceColumns.append(probe.columnName(c));
        }
        QList<Column> columns = targetColumns(table);
        QStringList selected;
        for (Column& column : columns) {
            const qsizetype at = std::find_if(sourceColumns.begin(), sourceColumns.end(),
                                              [&](const QString& s) {
                                                  return s.compare(column.name, Qt::CaseInsensitive) == 0;
                                              })
                                 - sourceColumns.begin();
            if (at == sourceColumns.size()) {
                note(QStringLiteral("%1.%2 is not in the source database; it stays empty").arg(table, column.name));
                continue;
            }
            column.source = static_cast<int>(selected.size());
            selected.append(sqlite.name(sourceColumns.at(at)));
            sourceColumns.removeAt(at);
        }
        for (const QString& left : sourceColumns)
            note(QStringLiteral("%1.%2 is not in tables.ini and is not copied").arg(table, left));
        const auto id = std::find_if(columns.begin(), columns.end(),
                                     [](const Column& c) { return c.name == u"id"; });
        if (id == columns.end() || id->source < 0)
            throw CopyFailure(QStringLiteral("the table %1 of the source has no id column").arg(sourceTable));

        SqlStatement rows = m_source.prepare(QStringLiteral("SELECT ") + selected.join(u',')
                                             + QStringLiteral(" FROM ") + sqlite.name(sourceTable)
                                             + QStringLiteral(" ORDER BY ") + selected.at(id->source));
        RowBatch batch(m_target.dialect(), table, columns);
        qint64 count = 0;
        std::vector<SqlValue> row(static_cast<size_t>(selected.size()));
        while (rows.step()) {
            for (int c = 0; c < selected.size(); ++c)
                row[static_cast<size_t>(c)] = rows.value(c);
            batch.add(row.at(static_cast<size_t>(id->source)).toInt(), row);
            ++count;
            if (batch.isFull())
                batch.write(m_target);
        }
        if (!batch.isEmpty())
            batch.write(m_target);
        return count;
    }

    CommandOutcome report(const QStringList& tables, const QList<qint64>& counts) const
    {
        CommandOutcome outcome;
        outcome.output = m_notes;
        qsizetype width = 0;
        for (const QString& table : tables)
            width = qMax(width, table.size());
        qint64 total = 0;
        for (qsizetype i = 0; i < tables.size(); ++i) {
            outcome.output.append(QStringLiteral("%1 %2 rows")
                                      .arg(tables.at(i), -static_cast<int>(width))
                                      .arg(counts.at(i), 9));
            total += counts.at(i);
        }
        outcome.output.append(QStringLiteral("copied %1 rows of %2 %3 from %4 into %5")
                                  .arg(total)
                                  .arg(tables.size())
                                  .arg(tables.size() == 1 ? QStringLiteral("table") : QStringLiteral("tables"))
                                  .arg(m_source.path(), m_target.path()));
        return outcome;
    }

    SqlConnection& m_source;
    SqlConnection& m_target;
    QStringList m_notes;
};

} // namespace

CommandOutcome RunDatabaseCopy(const QStringList& arguments)
{
    if (arguments.size() != 3 || arguments.at(1) != u"--copy-database")
        return CommandOutcome::failure(ExitCode::Usage, Usage);
    const QString target = arguments.at(2);
    if (!SqlConnection::namesServer(target))
        return CommandOutcome::failure(ExitCode::Usage,
                QStringLiteral("\"%1\" names no PostgreSQL database; %2").arg(target, Usage));

    SqlConnection source;
    SqlConnection server;
    try {
        const QString database = ProjectDatabase();
        if (SqlConnection::namesServer(database))
            return CommandOutcome::failure(ExitCode::Usage, QStringLiteral("settings.ini names a server as the project's "
                                                    "database; the copy reads an SQLite file"));
        source.openReadOnly(database);
        server.openServer(target);
    } catch (const VarnelError& error) {
        return CommandOutcome::failure(ExitCode::Usage, error.message().simplified());
    }
    DatabaseCopy copy(source, server);
    try {
        return copy.run();
    } catch (const VarnelError& error) {
        return CommandOutcome::failure(ExitCode::Failed, error.message().simplified(), copy.notes());
    } catch (const std::exception& error) {
        return CommandOutcome::failure(ExitCode::Failed, QString::fromLocal8Bit(error.what()).simplified(), copy.notes());
    }
}
