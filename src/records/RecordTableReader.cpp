#include "records/RecordTableReader.h"

#include "project/Database.h"
#include "project/StatementCancel.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>

namespace vm {
namespace {

constexpr int FirstChunkRows = 200;
constexpr int ChunkRows = 8192;
constexpr qint64 ChunkMilliseconds = 100;

// Numbers sort by value; whatever else a column holds sorts as text.
ColumnKind kindOf(const QSqlField& field)
{
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return ColumnKind::Numeric;
    case QMetaType::QString:
        return ColumnKind::Text;
    default:
        return ColumnKind::Other;
    }
}

// Collects rows and sends a chunk when it is full or has waited long enough.
class Chunker {
public:
    explicit Chunker(const RecordTableSink& sink)
        : m_sink(sink)
    {
        m_sinceSent.start();
    }
    RecordChunk& chunk() { return *m_chunk; }
    void rowEnded()
    {
        m_chunk->endRow();
        const int rows = m_chunk->rowCount();
        if (rows >= m_limit || (rows % 256 == 0 && m_sinceSent.elapsed() >= ChunkMilliseconds))
            send();
    }
    void finish()
    {
        if (m_chunk->rowCount() > 0)
            send();
    }

private:
    void send()
    {
        m_chunk->squeeze();
        m_sink.chunk(std::move(m_chunk));
        m_chunk = std::make_shared<RecordChunk>();
        m_limit = ChunkRows;
        m_sinceSent.restart();
    }

    const RecordTableSink& m_sink;
    std::shared_ptr<RecordChunk> m_chunk = std::make_shared<RecordChunk>();
    int m_limit = FirstChunkRows;
    QElapsedTimer m_sinceSent;
};

qint64 countRows(DatabaseConnection& db, const QString& from)
{
    DatabaseConnection::Selection count = db.select(QStringLiteral("select count(*) ") + from);
    if (count.outcome == DatabaseConnection::Outcome::Ok && count.query.next())
        return count.query.value(0).toLongLong();
    return -1;
}

QString readFromSQLite(sqlite3* handle, const QString& sql, const QString& table,
                       const QString& keyColumn, qint64 expected, const RecordTableSink& sink,
                       const std::atomic<bool>& cancelled)
{
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare16_v2(handle, sql.utf16(), -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw,
                                                                               sqlite3_finalize);
    if (prepared != SQLITE_OK)
        return QStringLiteral("The records of the table %1 cannot be read: %2")
            .arg(table, QString::fromUtf8(sqlite3_errmsg(handle)));

    RecordTableColumns columns;
    columns.expectedRows = expected;
    const int columnCount = sqlite3_column_count(raw);
    for (int c = 0; c < columnCount; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(raw, c));
        columns.names << name;
        const char* declared = sqlite3_column_decltype(raw, c);
        columns.kinds << (declared ? columnKindForDeclaredType(QString::fromUtf8(declared))
                                   : ColumnKind::Other);
        if (columns.keyColumn < 0 && name.compare(keyColumn, Qt::CaseInsensitive) == 0)
            columns.keyColumn = c;
    }
    sink.columns(columns);

    Chunker chunker(sink);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
        if (cancelled.load(std::memory_order_relaxed))
            return {};
        RecordChunk& chunk = chunker.chunk();
        for (int c = 0; c < columnCount; ++c) {
            switch (sqlite3_column_type(raw, c)) {
            case SQLITE_NULL:
                chunk.addNull();
                break;
            case SQLITE_FLOAT: // as Qt shows a double: shortest text that reads back exactly
                chunk.addCell(QString::number(sqlite3_column_double(raw, c), 'g',
                                              QLocale::FloatingPointShortest));
                break;
            case SQLITE_BLOB:
                chunk.addCell(
                    QStringLiteral("(%1 bytes of binary data)").arg(sqlite3_column_bytes(raw, c)));
                break;
            default: {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
                chunk.addCell(std::string_view(text, std::size_t(sqlite3_column_bytes(raw, c))));
                break;
            }
            }
        }
        chunker.rowEnded();
    }
    chunker.finish();
    if (step != SQLITE_DONE)
        return QStringLiteral("Reading the table %1 stopped: %2")
            .arg(table, QString::fromUtf8(sqlite3_errmsg(handle)));
    return {};
}

// One field of a COPY text row with its escapes resolved, as PostgreSQL documents them.
std::string_view unescapeCopyField(std::string_view field, std::string& buffer)
{
    if (field.find('\\') == std::string_view::npos)
        return field;
    buffer.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            buffer += c;
            continue;
        }
        const char e = field[++i];
        auto digitsFrom = [&](int base, std::size_t most) {
            int value = 0;
            std::size_t used = 0;
            while (used < most && i + used < field.size()) {
                const char d = field[i + used];
                const int digit = d >= '0' && d <= '9'                 ? d - '0'
                                  : base == 16 && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                  : base == 16 && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                                       : -1;
                if (digit < 0 || digit >= base)
                    break;
                value = value * base + digit;
                ++used;
            }
            return std::pair{value, used};
        };
        switch (e) {
        case 'b':
            buffer += '\b';
            break;
        case 'f':
            buffer += '\f';
            break;
        case 'n':
            buffer += '\n';
            break;
        case 'r':
            buffer += '\r';
            break;
        case 't':
            buffer += '\t';
            break;
        case 'v':
            buffer += '\v';
            break;
        case 'x': {
            ++i;
            const auto [value, used] = digitsFrom(16, 2);
            buffer += used ? char(value) : 'x';
            i += used ? used - 1 : std::size_t(-1);
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                const auto [value, used] = digitsFrom(8, 3);
                buffer += char(value);
                i += used - 1;
            } else {
                buffer += e;
            }
        }
    }
    return buffer;
}

// The bytes a bytea's text stands for, in the hex form ("\\x0102") or the escape form Qt's
// connections ask for ("\\001\\002").
qsizetype byteaLength(std::string_view text)
{
    if (text.starts_with("\\x"))
        return qsizetype(text.size() - 2) / 2;
    qsizetype bytes = 0;
    for (std::size_t i = 0; i < text.size(); ++bytes) {
        if (text[i] != '\\')
            i += 1;
        else if (i + 1 < text.size() && text[i + 1] == '\\')
            i += 2;
        else
            i += 4;
    }
    return bytes;
}

// COPY hands over every value as the server writes it; the few types Qt would show differently
// are shown as Qt shows them everywhere else.
enum class CopyShape { Plain, Boolean, Binary };

CopyShape copyShape(const QSqlField& field)
{
    switch (field.metaType().id()) {
    case QMetaType::Bool:
        return CopyShape::Boolean;
    case QMetaType::QByteArray:
        return CopyShape::Binary;
    default:
        return CopyShape::Plain;
    }
}

QString readFromPostgreSQL(DatabaseConnection& db, PGconn* connection, const QString& from,
                           const QString& table, const QString& keyColumn, qint64 expected,
                           const RecordTableSink& sink, const std::atomic<bool>& cancelled)
{
    RecordTableColumns columns;
    columns.expectedRows = expected;
    QList<CopyShape> shapes;
    {
        DatabaseConnection::Selection none =
            db.select(QStringLiteral("select * ") + from + QStringLiteral(" limit 0"));
        if (none.outcome != DatabaseConnection::Outcome::Ok)
            return QStringLiteral("The records of the table %1 cannot be read: %2")
                .arg(table, none.error);
        const QSqlRecord record = none.query.record();
        for (int c = 0; c < record.count(); ++c) {
            columns.names << record.fieldName(c);
            columns.kinds << kindOf(record.field(c));
            shapes << copyShape(record.field(c));
        }
        columns.keyColumn = record.indexOf(keyColumn);
    }
    sink.columns(columns);

    const QByteArray copy = QStringLiteral("copy (select * %1) to stdout").arg(from).toUtf8();
    PGresult* started = PQexec(connection, copy.constData());
    const bool copying = PQresultStatus(started) == PGRES_COPY_OUT;
    const QString refused = QString::fromUtf8(PQresultErrorMessage(started)).trimmed();
    PQclear(started);
    if (!copying)
        return QStringLiteral("The records of the table %1 cannot be read: %2").arg(table, refused);

    Chunker chunker(sink);
    std::string buffer;
    const int columnCount = int(columns.names.size());
    char* line = nullptr;
    int length = 0;
    while ((length = PQgetCopyData(connection, &line, 0)) > 0) {
        const std::unique_ptr<char, decltype(&PQfreemem)> owned(line, PQfreemem);
        if (cancelled.load(std::memory_order_relaxed))
            return {}; // closing the connection ends the copy
        std::string_view rest(line, std::size_t(length));
        if (rest.ends_with('\n'))
            rest.remove_suffix(1);
        RecordChunk& chunk = chunker.chunk();
        for (int c = 0; c < columnCount; ++c) {
            const std::size_t tab = rest.find('\t');
            const std::string_view field = rest.substr(0, tab);
            rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
            if (field == "\\N") {
                chunk.addNull();
                continue;
            }
            switch (shapes[c]) {
            case CopyShape::Boolean:
                chunk.addCell(field == "t" ? std::string_view("true") : std::string_view("false"));
                break;
            case CopyShape::Binary:
                chunk.addCell(QStringLiteral("(%1 bytes of binary data)")
                                  .arg(byteaLength(unescapeCopyField(field, buffer))));
                break;
            case CopyShape::Plain:
                chunk.addCell(unescapeCopyField(field, buffer));
                break;
            }
        }
        chunker.rowEnded();
    }
    chunker.finish();
    PGresult* ended = PQgetResult(connection);
    const bool complete = length == -1 && PQresultStatus(ended) == PGRES_COMMAND_OK;
    const QString why =
        QString::fromUtf8(length == -2 ? PQerrorMessage(connection) : PQresultErrorMessage(ended))
            .trimmed();
    PQclear(ended);
    while (PGresult* more = PQgetResult(connection))
        PQclear(more);
    if (!complete)
        return QStringLiteral("Reading the table %1 stopped: %2").arg(table, why);
    return {};
}

} // namespace

QString readRecordTable(DatabaseConnection& db, const QString& table, const QString& keyColumn,
                        const RecordTableSink& sink, const std::atomic<bool>& cancelled)
{
    const QString from = QStringLiteral("from ") + db.quoteName(table);
    const qint64 expected = countRows(db, from);
    const ColumnKind keyKind = db.keyColumnKind(table, keyColumn);
    if (cancelled)
        return {};
    RecordTableSink keyed = sink;
    keyed.columns = [&](RecordTableColumns columns) {
        if (columns.keyColumn >= 0)
            columns.keyKind = keyKind;
        sink.columns(columns);
    };
    if (db.engine() == DatabaseEngine::PostgreSQL) {
        if (PGconn* handle = postgresHandle(db))
            return readFromPostgreSQL(db, handle, from, table, keyColumn, expected, keyed,
                                      cancelled);
    } else if (sqlite3* handle = sqliteHandle(db)) {
        return readFromSQLite(handle, QStringLiteral("select * ") + from, table, keyColumn,
                              expected, keyed, cancelled);
    }

    DatabaseConnection::Selection rows = db.select(QStringLiteral("select * ") + from);
    if (rows.outcome != DatabaseConnection::Outcome::Ok)
        return QStringLiteral("The records of the table %1 cannot be read: %2")
            .arg(table, rows.error);
    const QSqlRecord record = rows.query.record();
    RecordTableColumns columns;
    columns.expectedRows = expected;
    for (int c = 0; c < record.count(); ++c) {
        columns.names << record.fieldName(c);
        columns.kinds << kindOf(record.field(c));
    }
    columns.keyColumn = record.indexOf(keyColumn);
    keyed.columns(columns);

    Chunker chunker(keyed);
    const int columnCount = record.count();
    while (rows.query.next()) {
        if (cancelled.load(std::memory_order_relaxed))
            return {};
        RecordChunk& chunk = chunker.chunk();
        for (int c = 0; c < columnCount; ++c) {
            if (const std::optional<QString> text = listText(rows.query.value(c)))
                chunk.addCell(QStringView(*text));
            else
                chunk.addNull();
        }
        chunker.rowEnded();
    }
    chunker.finish();
    const QSqlError error = rows.query.lastError();
    if (error.type() != QSqlError::NoError)
        return QStringLiteral("Reading the table %1 stopped: %2").arg(table, db.describe(error));
    return {};
}

} // namespace vm
