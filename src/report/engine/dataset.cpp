#include "report/engine/dataset.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "report/engine/spill_store.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Rows a stream holds before it lets go of those behind the cursor: dropping them in a batch
// keeps the copying small.
constexpr qsizetype streamWindowRows = 64;
// Packed rows are handed to the kept store in pieces of about this size.
constexpr qsizetype keptPieceBytes = 256 * 1024;

bool isStoredType(DatasetValue::Type type)
{
    return type == DatasetValue::Type::Text || type == DatasetValue::Type::Blob;
}

} // namespace

// Rows packed one after another (a type byte, then the number or the length and the bytes), in
// pieces of whole rows.
struct ReportDataset::Kept {
    SpillStore store;
    std::vector<SpillStore::Ref> pieces;
    QByteArray piece;

    void number(quint64 v)
    {
        while (v >= 0x80) {
            piece.append(char(v | 0x80));
            v >>= 7;
        }
        piece.append(char(v));
    }
    void add(DatasetValue::Type type, const void* data, qsizetype size)
    {
        piece.append(char(type));
        if (isStoredType(type))
            number(quint64(size));
        piece.append(static_cast<const char*>(data), size);
    }
    // At the end of each row.
    void endRow()
    {
        if (piece.size() >= keptPieceBytes)
            flush();
    }
    void flush()
    {
        if (piece.isEmpty())
            return;
        pieces.push_back(store.add(piece));
        piece.clear();
    }
};

struct ReportDataset::Stream {
    explicit Stream(SqlStatement&& s) : statement(std::move(s)) {}
    SqlStatement statement;
    std::unique_ptr<Kept> kept;
    bool ended = false;
};

ReportDataset::ReportDataset() = default;

ReportDataset::~ReportDataset() = default;

QString DatasetValue::text() const
{
    switch (type) {
    case Type::Integer: return QString::number(integer);
    case Type::Real: return QString::number(real, 'g', 15);
    case Type::Text: return QString::fromUtf8(bytes, size);
    default: return QString();
    }
}

QByteArray DatasetValue::blob() const
{
    return type == Type::Blob || type == Type::Text ? QByteArray(bytes, size) : QByteArray();
}

void ReportDataset::reset(const QStringList& columns)
{
    m_stream.reset();
    m_kept.reset();
    m_base = 0;
    m_columns = columns;
    m_cells.clear();
    m_store.clear();
}

void ReportDataset::clear()
{
    reset({});
    m_cells.shrink_to_fit();
    m_store.shrink_to_fit();
}

void ReportDataset::setResult(const QueryResult& result)
{
    reset(result.columns);
    m_cells.reserve(result.rows.size() * result.columns.size());
    for (const auto& row : result.rows) {
        appendRow();
        for (const SqlValue& v : row)
            addValue(v);
    }
}

void ReportDataset::setResult(SqlStatement& statement)
{
    QStringList columns;
    const int count = statement.columnCount();
    for (int c = 0; c < count; ++c)
        columns << statement.columnName(c);
    reset(columns);
    while (statement.step()) {
        appendRow();
        for (int c = 0; c < count; ++c)
            addFrom(statement, c);
    }
}

void ReportDataset::addFrom(SqlStatement& statement, int c)
{
    switch (statement.columnType(c)) {
    case SqlValue::Type::Null: addNull(); break;
    case SqlValue::Type::Integer: addInteger(statement.integer(c)); break;
    case SqlValue::Type::Real: addReal(statement.real(c)); break;
    case SqlValue::Type::Text: {
        int length = 0;
        const char* utf8 = statement.textUtf8(c, &length);
        addText(utf8, length);
        break;
    }
    case SqlValue::Type::Blob: {
        const QByteArray b = statement.bytes(c);
        addBlob(b.constData(), b.size());
        break;
    }
    }
}

void ReportDataset::setStream(SqlStatement&& statement, bool keepRows)
{
    QStringList columns;
    const int count = statement.columnCount();
    for (int c = 0; c < count; ++c)
        columns << statement.columnName(c);
    reset(columns);
    m_stream = std::make_unique<Stream>(std::move(statement));
    if (keepRows) {
        m_stream->kept = std::make_unique<Kept>();
        m_stream->kept->store.setThreshold(m_keptThreshold);
    }
}

bool ReportDataset::hasRow(qsizetype row) const
{
    if (row < 0)
        return false;
    while (row >= rowCount())
        if (!m_stream || !readStreamed())
            return false;
    return true;
}

// The next row of the stream, with the rows behind the one before it let go.
bool ReportDataset::readStreamed() const
{
    Stream& s = *m_stream;
    if (s.ended || m_columns.isEmpty())
        return false;
    if (!s.statement.step()) {
        s.ended = true;
        return false;
    }
    const qsizetype held = rowCount() - m_base;
    if (held >= streamWindowRows)
        dropRowsBefore(rowCount() - 1);
    const size_t first = m_cells.size();
    auto* self = const_cast<ReportDataset*>(this);
    for (int c = 0; c < m_columns.size(); ++c)
        self->addFrom(s.statement, c);
    if (s.kept) {
        for (size_t i = first; i < m_cells.size(); ++i) {
            const Cell& cell = m_cells[i];
            if (isStoredType(cell.type))
                s.kept->add(cell.type, m_store.data() + cell.offset, cell.size);
            else
                s.kept->add(cell.type, &cell.integer, cell.type == DatasetValue::Type::Null ? 0 : 8);
        }
        s.kept->endRow();
    }
    return true;
}

void ReportDataset::dropRowsBefore(qsizetype row) const
{
    const size_t cells = size_t((row - m_base) * m_columns.size());
    size_t from = m_store.size();
    for (size_t i = cells; i < m_cells.size(); ++i)
        if (isStoredType(m_cells[i].type))
            from = std::min<size_t>(from, m_cells[i].offset);
    m_store.erase(0, from);
    m_cells.erase(m_cells.begin(), m_cells.begin() + qsizetype(cells));
    for (Cell& c : m_cells)
        if (isStoredType(c.type))
            c.offset -= from;
    m_base = row;
}

void ReportDataset::finishStream()
{
    if (!m_stream)
        return;
    std::unique_ptr<Stream> stream = std::move(m_stream);
    m_cells.clear();
    m_store.clear();
    m_base = 0;
    if (!stream->kept)
        return;
    // The rows the cursor never reached go straight to the kept store.
    const int count = int(m_columns.size());
    Kept& kept = *stream->kept;
    SqlStatement& st = stream->statement;
    while (!stream->ended && count > 0 && st.step()) {
        for (int c = 0; c < count; ++c) {
            switch (st.columnType(c)) {
            case SqlValue::Type::Null: kept.add(DatasetValue::Type::Null, nullptr, 0); break;
            case SqlValue::Type::Integer: {
                const qint64 v = st.integer(c);
                kept.add(DatasetValue::Type::Integer, &v, 8);
                break;
            }
            case SqlValue::Type::Real: {
                const double v = st.real(c);
                kept.add(DatasetValue::Type::Real, &v, 8);
                break;
            }
            case SqlValue::Type::Text: {
                int length = 0;
                const char* utf8 = st.textUtf8(c, &length);
                kept.add(DatasetValue::Type::Text, utf8, length);
                break;
            }
            case SqlValue::Type::Blob: {
                const QByteArray b = st.bytes(c);
                kept.add(DatasetValue::Type::Blob, b.constData(), b.size());
                break;
            }
            }
        }
        kept.endRow();
    }
    kept.flush();
    m_kept = std::move(stream->kept);
}

// Kept rows back into memory, as setResult would have left them.
void ReportDataset::loadKept() const
{
    const std::unique_ptr<Kept> kept = std::move(m_kept);
    auto* self = const_cast<ReportDataset*>(this);
    const auto broken = [] { return FileError(Lang.caption("The report's temporary file of rows is damaged.")); };
    for (const SpillStore::Ref& ref : kept->pieces) {
        const QByteArray piece = kept->store.read(ref);
        const char* at = piece.constData();
        const char* const end = at + piece.size();
        while (at < end) {
            const auto type = DatasetValue::Type(quint8(*at++));
            switch (type) {
            case DatasetValue::Type::Null: self->addNull(); break;
            case DatasetValue::Type::Integer:
            case DatasetValue::Type::Real: {
                if (end - at < 8)
                    throw broken();
                qint64 bits;
                std::memcpy(&bits, at, 8);
                at += 8;
                if (type == DatasetValue::Type::Integer)
                    self->addInteger(bits);
                else
                    self->addReal(std::bit_cast<double>(bits));
                break;
            }
            case DatasetValue::Type::Text:
            case DatasetValue::Type::Blob: {
                quint64 size = 0;
                for (int shift = 0;; shift += 7) {
                    if (at == end || shift > 63)
                        throw broken();
                    const quint8 b = quint8(*at++);
                    size |= quint64(b & 0x7f) << shift;
                    if (!(b & 0x80))
                        break;
                }
                if (quint64(end - at) < size)
                    throw broken();
                self->addStored(type, at, qsizetype(size));
                at += size;
                break;
            }
            default:
                throw broken();
            }
        }
    }
    if (!m_columns.isEmpty() && m_cells.size() % size_t(m_columns.size()) != 0)
        throw broken();
}

int ReportDataset::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

DatasetValue ReportDataset::value(qsizetype row, int column) const
{
    if (m_kept)
        loadKept();
    if (row < m_base)
        return DatasetValue();
    const Cell& cell = m_cells[size_t((row - m_base) * m_columns.size() + column)];
    DatasetValue v;
    v.type = cell.type;
    switch (cell.type) {
    case DatasetValue::Type::Integer: v.integer = cell.integer; break;
    case DatasetValue::Type::Real: v.real = cell.real; break;
    case DatasetValue::Type::Text:
    case DatasetValue::Type::Blob:
        v.bytes = m_store.data() + cell.offset;
        v.size = cell.size;
        break;
    case DatasetValue::Type::Null: break;
    }
    return v;
}

qsizetype ReportDataset::memoryUse() const
{
    qsizetype bytes = qsizetype(m_cells.capacity() * sizeof(Cell) + m_store.capacity());
    if (const Kept* kept = m_stream ? m_stream->kept.get() : m_kept.get())
        bytes += kept->store.memoryUse() + kept->piece.capacity();
    return bytes;
}

void ReportDataset::appendRow()
{
    // Cells follow with the add calls. No reserve here: an exact reserve per row would copy the
    // whole table on every row.
}

void ReportDataset::addNull()
{
    Cell c{};
    c.type = DatasetValue::Type::Null;
    m_cells.push_back(c);
}

void ReportDataset::addInteger(qint64 v)
{
    Cell c{};
    c.type = DatasetValue::Type::Integer;
    c.integer = v;
    m_cells.push_back(c);
}

void ReportDataset::addReal(double v)
{
    Cell c{};
    c.type = DatasetValue::Type::Real;
    c.real = v;
    m_cells.push_back(c);
}

void ReportDataset::addStored(DatasetValue::Type type, const char* bytes, qsizetype size)
{
    Cell c{};
    c.type = type;
    c.size = quint32(size);
    c.offset = m_store.size();
    m_store.append(bytes, size_t(size));
    m_cells.push_back(c);
}

void ReportDataset::addText(const char* utf8, qsizetype size)
{
    addStored(DatasetValue::Type::Text, utf8, size);
}

void ReportDataset::addBlob(const char* bytes, qsizetype size)
{
    addStored(DatasetValue::Type::Blob, bytes, size);
}

void ReportDataset::addValue(const SqlValue& v)
{
    switch (v.type()) {
    case SqlValue::Type::Null: addNull(); break;
    case SqlValue::Type::Integer: addInteger(v.toInt()); break;
    case SqlValue::Type::Real: addReal(v.toReal()); break;
    case SqlValue::Type::Text: {
        const QByteArray b = v.toBytes();
        addText(b.constData(), b.size());
        break;
    }
    case SqlValue::Type::Blob: {
        const QByteArray b = v.toBytes();
        addBlob(b.constData(), b.size());
        break;
    }
    }
}
