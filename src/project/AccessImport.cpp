#include "project/AccessImport.h"

#include "common/ReadFile.h"
#include "project/AccessQueries.h"
#include "project/AccessValues.h"
#include "project/SqlText.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QtEndian>

#include <sqlite3.h>

// mdbtools.h includes <glib.h> inside extern "C", which breaks glib's C++ templates unless glib
// was included first.
#include <glib.h>
#include <mdbtools.h>

#include <memory>
#include <vector>

namespace vm {
namespace {

constexpr quint32 LongValueInline = 0x80000000;
constexpr quint32 LongValueOnePage = 0x40000000;
constexpr int LongValueHeaderSize = 12;

QString quotedPath(const QString& path)
{
    return QStringLiteral("\u201c%1\u201d").arg(path);
}

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFree {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

// Checks the header: a Jet or ACE signature and the page size. libmdb opens a truncated file
// without complaint and returns partial tables, so a size that is no whole number of pages is
// refused here.
QString checkHeader(const QString& path, const QByteArray& file, qint64* pageCount)
{
    const bool signed_ =
        file.size() >= 0x20 && file.startsWith(QByteArray("\0\1\0\0", 4)) &&
        (file.mid(4, 15) == "Standard Jet DB" || file.mid(4, 15) == "Standard ACE DB");
    if (!signed_)
        return QStringLiteral("%1 is not an Access database.").arg(quotedPath(path));
    const qint64 pageSize = file[0x14] == 0 ? 2048 : 4096;
    if (file.size() % pageSize != 0 || file.size() < 3 * pageSize)
        return QStringLiteral("%1 is truncated or damaged: %2 bytes is not a whole number of "
                              "%3-byte pages.")
            .arg(quotedPath(path))
            .arg(file.size())
            .arg(pageSize);
    *pageCount = file.size() / pageSize;
    return {};
}

QString declaredType(const MdbHandle* mdb, const MdbColumn* col)
{
    switch (col->col_type) {
    case MDB_BOOL:
        return QStringLiteral("BOOLEAN");
    case MDB_BYTE:
        return QStringLiteral("BYTE");
    case MDB_INT:
        return QStringLiteral("SMALLINT");
    case MDB_LONGINT:
        return QStringLiteral("INTEGER");
    case MDB_MONEY:
        return QStringLiteral("CURRENCY");
    case MDB_FLOAT:
        return QStringLiteral("SINGLE");
    case MDB_DOUBLE:
        return QStringLiteral("DOUBLE");
    case MDB_DATETIME:
        return QStringLiteral("DATETIME");
    case MDB_TEXT: {
        const int bytesPerCharacter = mdb->f->jet_version == MDB_VER_JET3 ? 1 : 2;
        return QStringLiteral("VARCHAR(%1)").arg(col->col_size / bytesPerCharacter);
    }
    case MDB_MEMO:
        return QStringLiteral("LONGTEXT"); // text affinity: "007" stays text
    case MDB_OLE:
        return QStringLiteral("LONGBINARY");
    case MDB_REPID:
        return QStringLiteral("GUID");
    case MDB_NUMERIC:
        return QStringLiteral("DECIMAL(%1,%2)").arg(col->col_prec).arg(col->col_scale);
    case MDB_COMPLEX:
        return QStringLiteral("COMPLEX");
    default:
        return QStringLiteral("BINARY");
    }
}

// The kinds the legacy provider reported: only Text, Integer, Long, Double and Decimal keys were
// written into statements.
ColumnKind kindOf(const MdbColumn* col)
{
    switch (col->col_type) {
    case MDB_TEXT:
        return ColumnKind::Text;
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return ColumnKind::Numeric;
    default:
        return ColumnKind::Other;
    }
}

// Inserts rows through the sqlite3 handle under the Qt connection (the same library Qt's driver
// uses): QSqlQuery spends more on each bound value, naming placeholders and copying variants,
// than libmdb and SQLite together spend on the whole row.
class RowInserter {
public:
    RowInserter() = default;
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;
    ~RowInserter() { sqlite3_finalize(m_statement); }

    QString prepare(const QSqlDatabase& database, const QString& sql)
    {
        const QVariant handle = database.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return QStringLiteral("the copy is not a SQLite database");
        m_db = *static_cast<sqlite3* const*>(handle.constData());
        if (sqlite3_prepare16_v2(m_db, sql.utf16(), -1, &m_statement, nullptr) != SQLITE_OK)
            return error();
        return {};
    }

    void bind(int column, const QVariant& value)
    {
        const int index = column + 1;
        switch (value.typeId()) {
        case QMetaType::LongLong:
            sqlite3_bind_int64(m_statement, index, value.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(m_statement, index, value.toDouble());
            break;
        case QMetaType::QString: {
            const QString& text = *static_cast<const QString*>(value.constData());
            sqlite3_bind_text16(m_statement, index, text.utf16(), int(text.size() * 2),
                                SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray& bytes = *static_cast<const QByteArray*>(value.constData());
            sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()),
                              SQLITE_TRANSIENT);
            break;
        }
        default:
            sqlite3_bind_null(m_statement, index);
        }
    }

    // Empty on success, else SQLite's reason.
    QString insert()
    {
        const int result = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        return result == SQLITE_DONE ? QString() : error();
    }

private:
    QString error() const
    {
        return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_db)));
    }

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

class AccessReader {
public:
    AccessReader(MdbHandle* mdb, qint64 pageCount, QSqlDatabase& target, AccessCopy* copy)
        : m_mdb(mdb)
        , m_pageCount(pageCount)
        , m_target(target)
        , m_copy(copy)
    {
    }

    // Empty on success, else what went wrong with the table.
    QString copyTable(MdbCatalogEntry* entry);

private:
    QString checkPages(MdbTableDef* table) const;
    QString createTable(const QString& name, MdbTableDef* table);
    bool readValue(MdbColumn* col, QVariant* value);
    bool readLongValue(const MdbColumn* col, QByteArray* bytes);
    QString decodeText(const char* bytes, size_t size);
    QString sortByPrimaryKey(const QString& name, MdbTableDef* table);

    MdbHandle* m_mdb;
    qint64 m_pageCount;
    QSqlDatabase& m_target;
    AccessCopy* m_copy;
    std::vector<char> m_utf8;
};

QString AccessReader::copyTable(MdbCatalogEntry* entry)
{
    const QString name = QString::fromUtf8(entry->object_name);
    if (qint64(entry->table_pg) >= m_pageCount)
        return QStringLiteral("the definition of table \u201c%1\u201d lies beyond the end of the "
                              "file")
            .arg(name);
    const std::unique_ptr<MdbTableDef, TableFree> table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return QStringLiteral("the definition of table \u201c%1\u201d cannot be read").arg(name);
    mdb_read_indices(table.get());
    if (QString why = checkPages(table.get()); !why.isEmpty())
        return QStringLiteral("table \u201c%1\u201d: %2").arg(name, why);
    if (QString why = createTable(name, table.get()); !why.isEmpty())
        return why;

    const unsigned columnCount = table->num_cols;
    QStringList placeholders(columnCount, QStringLiteral("?"));
    RowInserter inserter;
    if (QString why =
            inserter.prepare(m_target, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                           .arg(doubleQuotedName(name), placeholders.join(u',')));
        !why.isEmpty())
        return why;

    // Rows are read to the end of the table before anything else touches the handle: libmdb
    // returns garbage when fetches of two tables interleave.
    mdb_rewind_table(table.get());
    QVariant value;
    while (mdb_fetch_row(table.get())) {
        for (unsigned i = 0; i < columnCount; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (!readValue(col, &value))
                return QStringLiteral("a value of \u201c%1\u201d.\u201c%2\u201d is damaged")
                    .arg(name, QString::fromUtf8(col->name));
            inserter.bind(int(i), value);
        }
        if (QString why = inserter.insert(); !why.isEmpty())
            return QStringLiteral("table \u201c%1\u201d: %2").arg(name, why);
        ++m_copy->rows;
    }
    return sortByPrimaryKey(name, table.get());
}

// Every data page a table names must lie inside the file; a file cut at a page boundary passes
// the size check and would otherwise lose rows silently.
QString AccessReader::checkPages(MdbTableDef* table) const
{
    if (!table->usage_map || table->map_sz == 0)
        return {};
    gint32 page = 0;
    while ((page = mdb_map_find_next(m_mdb, table->usage_map, guint(table->map_sz),
                                     guint32(page))) > 0) {
        if (page >= m_pageCount)
            return QStringLiteral("its rows lie beyond the end of the file (page %1 of %2)")
                .arg(page)
                .arg(m_pageCount);
    }
    return page < 0 ? QStringLiteral("its page map is damaged") : QString();
}

QString AccessReader::createTable(const QString& name, MdbTableDef* table)
{
    QStringList columns;
    auto& kinds = m_copy->columnKinds[name.toLower()];
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const QString column = QString::fromUtf8(col->name);
        columns << doubleQuotedName(column) + u' ' + declaredType(m_mdb, col);
        // Access compares, sorts and joins text without regard to case.
        if (col->col_type == MDB_TEXT || col->col_type == MDB_MEMO)
            columns.last() += QStringLiteral(" COLLATE NOCASE");
        kinds.insert(column.toLower(), kindOf(col));
    }
    QSqlQuery create(m_target);
    if (!create.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                         .arg(doubleQuotedName(name), columns.join(QStringLiteral(", ")))))
        return QStringLiteral("table \u201c%1\u201d cannot be copied: %2")
            .arg(name, create.lastError().text());
    return {};
}

bool AccessReader::readValue(MdbColumn* col, QVariant* value)
{
    const int size = col->cur_value_len;
    // A damaged row can point anywhere; nothing is read from outside the page.
    if (size != 0 &&
        (size < 0 || col->cur_value_start < 0 || col->cur_value_start + size > m_mdb->fmt->pg_size))
        return false;
    const unsigned char* row = size == 0 ? nullptr : m_mdb->pg_buf + col->cur_value_start;
    auto fits = [size](int needed) {
        return size >= needed;
    };
    if (col->col_type == MDB_BOOL) { // kept in the null mask: "null" is true
        *value = qint64(size == 0 ? 1 : 0);
        return true;
    }
    if (size == 0) { // libmdb cannot tell an empty text from a null
        *value = QVariant();
        return true;
    }
    switch (col->col_type) {
    case MDB_BYTE:
        if (!fits(1))
            return false;
        *value = qint64(row[0]);
        return true;
    case MDB_INT:
        if (!fits(2))
            return false;
        *value = qint64(qFromLittleEndian<qint16>(row));
        return true;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        if (!fits(4))
            return false;
        *value = qint64(qFromLittleEndian<qint32>(row));
        return true;
    case MDB_MONEY:
        if (!fits(8))
            return false;
        *value = currencyText(qFromLittleEndian<qint64>(row));
        return true;
    case MDB_FLOAT:
        if (!fits(4))
            return false;
        *value = singleAsDouble(qFromLittleEndian<float>(row));
        return true;
    case MDB_DOUBLE:
        if (!fits(8))
            return false;
        *value = qFromLittleEndian<double>(row);
        return true;
    case MDB_DATETIME: {
        if (!fits(8))
            return false;
        const double days = qFromLittleEndian<double>(row);
        const QString text = accessDateTimeText(days);
        *value = text.isEmpty() ? QVariant(days) : QVariant(text); // keep what Access cannot show
        return true;
    }
    case MDB_NUMERIC:
        if (!fits(17))
            return false;
        *value = accessDecimalText(row, col->col_scale);
        return true;
    case MDB_REPID: {
        if (!fits(16))
            return false;
        char* text = mdb_uuid_to_string(m_mdb->pg_buf, col->cur_value_start);
        *value = QString::fromLatin1(text);
        g_free(text);
        return true;
    }
    case MDB_TEXT:
        if (!fits(1))
            return false;
        *value = decodeText(reinterpret_cast<const char*>(row), size_t(size));
        return true;
    case MDB_MEMO:
    case MDB_OLE: {
        QByteArray bytes;
        if (!fits(LongValueHeaderSize) || !readLongValue(col, &bytes))
            return false;
        if (col->col_type == MDB_OLE)
            *value = bytes;
        else
            *value = decodeText(bytes.constData(), size_t(bytes.size()));
        return true;
    }
    default:
        if (!fits(1))
            return false;
        *value = QByteArray(reinterpret_cast<const char*>(row), size);
        return true;
    }
}

// Memo and OLE values live inline, on one other page or on a chain of pages. libmdb's own
// readers cut memos at the bind size and allocate a megabyte per OLE value, hence this.
bool AccessReader::readLongValue(const MdbColumn* col, QByteArray* bytes)
{
    const int start = col->cur_value_start;
    const quint32 header = quint32(mdb_get_int32(m_mdb->pg_buf, start));
    const qsizetype length = header & 0x3fffffff;
    if (header & LongValueInline) {
        *bytes =
            QByteArray(reinterpret_cast<const char*>(m_mdb->pg_buf) + start + LongValueHeaderSize,
                       col->cur_value_len - LongValueHeaderSize);
        return true;
    }
    int pageRow = int(mdb_get_int32(m_mdb->pg_buf, start + 4));
    void* page = nullptr;
    int offset = 0;
    size_t size = 0;
    if (header & LongValueOnePage) {
        if (mdb_find_pg_row(m_mdb, pageRow, &page, &offset, &size) != 0)
            return false;
        *bytes = QByteArray(static_cast<const char*>(page) + offset, qMin(qsizetype(size), length));
        return true;
    }
    if ((header & 0xff000000) != 0)
        return false;
    bytes->clear();
    bytes->reserve(length);
    // Each page of the chain starts with the next one's page and row; a damaged chain could
    // loop, so no more links than the file has pages are followed.
    for (qint64 links = 0; pageRow != 0; ++links) {
        if (links > m_pageCount || mdb_find_pg_row(m_mdb, pageRow, &page, &offset, &size) != 0 ||
            size < 4)
            return false;
        const char* data = static_cast<const char*>(page) + offset;
        pageRow = int(mdb_get_int32(page, offset));
        bytes->append(data + 4, qMin(qsizetype(size) - 4, length - bytes->size()));
    }
    return true;
}

// Through libmdb's converter, so values and the names in the catalogue share one code page.
QString AccessReader::decodeText(const char* bytes, size_t size)
{
    // UTF-8 takes at most three bytes for each byte of Jet 3 text or each two of Jet 4 text;
    // compressed Jet 4 text takes at most two for one.
    const size_t capacity = size * 3 + 2;
    if (m_utf8.size() < capacity)
        m_utf8.resize(capacity);
    const int written = mdb_unicode2ascii(m_mdb, bytes, size, m_utf8.data(), capacity - 1);
    return QString::fromUtf8(m_utf8.data(), written);
}

// Rows come in page order; the legacy provider handed out a table in the order of its primary
// key, which is what an operator saw. The key is not made a constraint: it is wrong in some
// files.
QString AccessReader::sortByPrimaryKey(const QString& name, MdbTableDef* table)
{
    QStringList order;
    for (unsigned i = 0; table->indices && i < table->num_idxs && order.isEmpty(); ++i) {
        auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
        if (index->index_type != 1)
            continue;
        for (unsigned k = 0; k < index->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
            const int number = index->key_col_num[k] - 1;
            if (number < 0 || unsigned(number) >= table->num_cols)
                return {}; // a broken index is no reason to refuse the data
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, number));
            QString term = doubleQuotedName(QString::fromUtf8(col->name));
            if (col->col_type == MDB_TEXT || col->col_type == MDB_MEMO)
                term += QStringLiteral(" COLLATE NOCASE");
            if (index->key_col_order[k] == MDB_DESC)
                term += QStringLiteral(" DESC");
            order << term;
        }
    }
    if (order.isEmpty())
        return {};

    const QString quotedTable = doubleQuotedName(name);
    const QString orderBy = order.join(QStringLiteral(", "));
    QSqlQuery query(m_target);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY %2").arg(quotedTable, orderBy)))
        return query.lastError().text();
    qint64 expected = 1;
    bool inOrder = true;
    while (inOrder && query.next())
        inOrder = query.value(0).toLongLong() == expected++;
    query.finish();
    if (inOrder)
        return {};

    const QStringList steps = {
        QStringLiteral("CREATE TEMP TABLE vm_sorted AS SELECT * FROM %1 ORDER BY %2")
            .arg(quotedTable, orderBy),
        QStringLiteral("DELETE FROM %1").arg(quotedTable),
        QStringLiteral("INSERT INTO %1 SELECT * FROM temp.vm_sorted ORDER BY rowid")
            .arg(quotedTable),
        QStringLiteral("DROP TABLE temp.vm_sorted")};
    for (const QString& step : steps) {
        if (!query.exec(step))
            return QStringLiteral("table \u201c%1\u201d cannot be sorted: %2")
                .arg(name, query.lastError().text());
    }
    return {};
}

} // namespace

bool isJet3File(const QString& path)
{
    const Result<std::unique_ptr<QFile>> file = openRegularFile(path, DatabaseFileLimit);
    if (!file)
        return false;
    const QByteArray header = (*file)->read(0x15);
    return header.size() == 0x15 && header.startsWith(QByteArray("\0\1\0\0Standard Jet DB", 19)) &&
           header[0x14] == 0;
}

QString copyAccessFile(const QString& path, const QByteArray& jet3Charset, QSqlDatabase& target,
                       AccessCopy* copy)
{
    // One read of the whole file: libmdb would otherwise seek and read for every page it
    // visits, often the same page again, and the copy is made from one state of the file.
    Result<QByteArray> read = readWholeFile(path, DatabaseFileLimit);
    if (!read)
        return read.error();
    QByteArray& bytes = *read;
    qint64 pageCount = 0;
    if (QString why = checkHeader(path, bytes, &pageCount); !why.isEmpty())
        return why;
    const std::unique_ptr<MdbHandle, MdbCloser> mdb(
        mdb_open_buffer(bytes.data(), size_t(bytes.size()), MDB_NOFLAGS));
    if (!mdb)
        return QStringLiteral("%1 cannot be opened as an Access database.").arg(quotedPath(path));
    if (!jet3Charset.isEmpty() && mdb->f->jet_version == MDB_VER_JET3) {
        const iconv_t converter = iconv_open("UTF-8", jet3Charset.constData());
        if (converter == iconv_t(-1))
            return QStringLiteral("Unknown character set \u201c%1\u201d for %2.")
                .arg(QString::fromLatin1(jet3Charset), quotedPath(path));
        if (mdb->iconv_in != iconv_t(-1))
            iconv_close(mdb->iconv_in);
        mdb->iconv_in = converter;
    }
    // Read once: every later lookup by name would rebuild it and invalidate the entries.
    GPtrArray* catalogue = mdb_read_catalog(mdb.get(), MDB_ANY);
    if (!catalogue)
        return QStringLiteral("%1 is damaged: its catalogue cannot be read.").arg(quotedPath(path));

    *copy = AccessCopy();
    std::vector<MdbCatalogEntry*> tables;
    QStringList queries;
    for (guint i = 0; i < catalogue->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalogue, i));
        const QString name = QString::fromUtf8(entry->object_name);
        switch (entry->object_type) {
        case MDB_TABLE:
            tables.push_back(entry);
            break;
        case MDB_QUERY:
            queries << name;
            break;
        case MDB_LINKED_TABLE:
            copy->notCopied.insert(name.toLower(),
                                   QStringLiteral("\u201c%1\u201d is linked from another "
                                                  "database; its rows are not in this file.")
                                       .arg(name));
            break;
        default:
            continue;
        }
        copy->catalogue << name;
    }

    if (!target.transaction())
        return target.lastError().text();
    AccessReader reader(mdb.get(), pageCount, target, copy);
    for (MdbCatalogEntry* entry : tables) {
        if (QString why = reader.copyTable(entry); !why.isEmpty()) {
            target.rollback();
            return QStringLiteral("%1 is damaged: %2.").arg(quotedPath(path), why);
        }
    }
    if (!target.commit())
        return target.lastError().text();
    // Saved queries become views where SQLite can do exactly what they do; the others stay
    // listed with the reason.
    createQueryViews(target, queries, copy);
    return {};
}

} // namespace vm
