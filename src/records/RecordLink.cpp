#include "records/RecordLink.h"

#include "records/RecordQuery.h"

#include <QHash>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include <future>
#include <system_error>
#include <vector>

namespace vm {
namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

LinkResult notLinked(LinkOutcome outcome, const QString& message)
{
    return {outcome, message, std::nullopt};
}

// The part of a stored "Table.Column" after its first full stop.
QString columnPart(const QString& field)
{
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    return dot < 0 ? field : field.mid(dot + 1);
}

QString keyRefusal(const QString& problem, ColumnKind kind, const StoredSettings& project)
{
    if (kind != ColumnKind::Numeric)
        return problem;
    QString text = problem;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text + QStringLiteral("; %1 of %2 holds numbers.")
                      .arg(project.UniqueField, project.MasterTable);
}

} // namespace

Result<RecordKey> uniqueFieldKey(const QString& text, ColumnKind kind,
                                 const StoredSettings& project)
{
    Result<RecordKey> key = RecordKey::fromText(text, kind);
    if (!key)
        return Status::failure(keyRefusal(key.error(), kind, project));
    return key;
}

QSqlRecord qualifyJoinedColumns(const QSqlRecord& row, const QList<QPair<QString, int>>& tables)
{
    int total = 0;
    for (const auto& table : tables)
        total += table.second;
    if (tables.size() < 2 || total != row.count())
        return row;

    QHash<QString, int> occurrences;
    for (int i = 0; i < row.count(); ++i)
        ++occurrences[row.fieldName(i).toLower()];

    QSqlRecord named = row;
    int column = 0;
    for (const auto& [table, count] : tables) {
        for (int i = 0; i < count; ++i, ++column) {
            if (occurrences.value(row.fieldName(column).toLower()) > 1) {
                QSqlField field = named.field(column);
                field.setName(table + QLatin1Char('.') + row.fieldName(column));
                named.replace(column, field);
            }
        }
    }
    return named;
}

RecordLinker::RecordLinker(DatabaseConnection& database, StoredSettings project)
    : m_db(database)
    , m_project(std::move(project))
{
}

void RecordLinker::setPictureDecodeSize(QSize photo, QSize sign, DecodeFit fit)
{
    m_photoDecode = photo;
    m_signDecode = sign;
    m_decodeFit = fit;
}

ColumnKind RecordLinker::keyKind()
{
    if (!m_keyKind)
        m_keyKind = m_db.keyColumnKind(m_project.MasterTable, m_project.UniqueField);
    return *m_keyKind;
}

Result<RecordKey> RecordLinker::keyFromText(const QString& text)
{
    return uniqueFieldKey(text, keyKind(), m_project);
}

QString RecordLinker::refusal(const QString& problem)
{
    return keyRefusal(problem, keyKind(), m_project);
}

QList<QPair<QString, int>> RecordLinker::joinedTables()
{
    if (!m_joined) {
        QList<QPair<QString, int>> tables;
        tables << qMakePair(m_project.MasterTable,
                            int(ListFieldNames(m_db, m_project.MasterTable).size()));
        for (const QString& child : m_project.DataTables)
            tables << qMakePair(child, int(ListFieldNames(m_db, child).size()));
        m_joined = tables;
    }
    return *m_joined;
}

QString RecordLinker::recordName(const RecordKey& key) const
{
    return QStringLiteral("the record %1 of %2").arg(quoted(key.text()), m_project.MasterTable);
}

LinkResult RecordLinker::statementFailed(const DatabaseConnection::Selection& selection,
                                         const RecordKey& key) const
{
    if (selection.outcome == DatabaseConnection::Outcome::Rejected)
        return notLinked(LinkOutcome::Rejected,
                         QStringLiteral("The database refused the statement that links %1: %2")
                             .arg(recordName(key), selection.error));
    if (selection.outcome == DatabaseConnection::Outcome::Lost)
        return notLinked(LinkOutcome::ConnectionLost,
                         QStringLiteral("The connection to the database was lost while linking "
                                        "%1: %2")
                             .arg(recordName(key), selection.error));
    // PostgreSQL reads a key in the column's own type: one that is no value of it names nobody.
    if (selection.query.lastError().nativeErrorCode().startsWith(QLatin1String("22")))
        return notLinked(LinkOutcome::NoSuchRecord,
                         QStringLiteral("%1 has no record whose %2 is %3 (%4).")
                             .arg(m_project.MasterTable, m_project.UniqueField,
                                  quoted(key.text()), selection.error));
    return notLinked(LinkOutcome::Failed,
                     QStringLiteral("The database could not be read for %1: %2")
                         .arg(recordName(key), selection.error));
}

QString RecordLinker::sharedKeyText(const RecordKey& key, qint64 rows) const
{
    return QStringLiteral("The key %1 names %2 rows of %3 (their %4 is the same), so which "
                          "person it means is unknown; make the key unique.")
        .arg(quoted(key.text()))
        .arg(rows)
        .arg(m_project.MasterTable, m_project.UniqueField);
}

Result<QHash<QString, qint64>> RecordLinker::sharedKeys()
{
    const QString sql = buildSharedKeysStatement(m_project, [this](const QString& name) {
        return m_db.quoteName(name);
    });
    // Keys as exact as the column holds them: a numeric(30) must not go through double.
    DatabaseConnection::Selection rows = m_db.select(
        sql, {}, DatabaseConnection::Scroll::ForwardOnly, DatabaseConnection::Precision::Exact);
    if (rows.outcome != DatabaseConnection::Outcome::Ok)
        return Status::failure(rows.error);
    QHash<QString, qint64> shared;
    while (rows.query.next())
        shared.insert(RecordKey::fromValue(rows.query.value(0), keyKind()).text(),
                      rows.query.value(1).toLongLong());
    return shared;
}

LinkResult RecordLinker::link(const RecordKey& key)
{
    const RecordKey typed =
        key.kind() == keyKind() ? key : RecordKey::fromValue(key.value(), keyKind());
    const NameQuoter quote = [this](const QString& name) {
        return m_db.quoteName(name);
    };
    const Result<RecordStatements> statements =
        buildRecordStatements(m_project, typed, quote, quoteNumbers());
    if (!statements)
        return notLinked(LinkOutcome::Failed, refusal(statements.error()));
    if (m_sharedKeys && m_sharedKeys->contains(typed.text()))
        return notLinked(LinkOutcome::SharedKey,
                         sharedKeyText(typed, m_sharedKeys->value(typed.text())));

    DatabaseConnection::Selection row = m_db.select(statements->recordSql);
    if (row.outcome != DatabaseConnection::Outcome::Ok)
        return statementFailed(row, typed);
    if (!row.query.next())
        return whyNoRow(typed);

    LinkedRecord record;
    record.key = typed;
    record.values = qualifyJoinedColumns(row.query.record(), joinedTables());
    row.query.finish();
    // The master rows of the key are counted: a second joined row could be a second child row,
    // and a master row without its child row would not show in the join at all. A run that
    // found its shared keys once counts nothing.
    if (!m_sharedKeys) {
        const Result<MissingRowStatements> count =
            buildMissingRowStatements(m_project, typed, quote, quoteNumbers());
        DatabaseConnection::Selection counted = m_db.select(count->countSql);
        if (counted.outcome != DatabaseConnection::Outcome::Ok)
            return statementFailed(counted, typed);
        const qint64 rows = counted.query.next() ? counted.query.value(0).toLongLong() : 0;
        if (rows > 1)
            return notLinked(LinkOutcome::SharedKey, sharedKeyText(typed, rows));
    }
    if (placesPictures(m_project) && !statements->pictureSql.isEmpty()) {
        if (const Status loaded = loadPictures(statements->pictureSql, record); !loaded)
            return notLinked(LinkOutcome::Failed, loaded.error());
    }
    return {LinkOutcome::Linked, QString(), std::move(record)};
}

LinkResult RecordLinker::whyNoRow(const RecordKey& key)
{
    const NameQuoter quote = [this](const QString& name) {
        return m_db.quoteName(name);
    };
    const Result<MissingRowStatements> statements =
        buildMissingRowStatements(m_project, key, quote, quoteNumbers());
    if (!statements)
        return notLinked(LinkOutcome::Failed, refusal(statements.error()));

    DatabaseConnection::Selection master = m_db.select(statements->masterSql);
    if (master.outcome != DatabaseConnection::Outcome::Ok)
        return statementFailed(master, key);
    if (!master.query.next())
        return notLinked(
            LinkOutcome::NoSuchRecord,
            QStringLiteral("%1 has no record whose %2 is %3.")
                .arg(m_project.MasterTable, m_project.UniqueField, quoted(key.text())));
    const QSqlRecord masterRow = master.query.record();

    QStringList missing;
    for (qsizetype i = 0; i < statements->childSql.size(); ++i) {
        DatabaseConnection::Selection child = m_db.select(statements->childSql[i]);
        if (child.outcome != DatabaseConnection::Outcome::Ok)
            return statementFailed(child, key);
        if (!child.query.next())
            missing << missingChildRow(i, masterRow);
    }
    const QString record = recordName(key);
    if (missing.isEmpty()) // each child has a row, but no combination meets every relation
        return notLinked(LinkOutcome::MissingChildRow,
                         QStringLiteral("The rows of %1 related to %2 do not meet all the "
                                        "relations together (%3).")
                             .arg(m_project.DataTables.join(QStringLiteral(", ")), record,
                                  m_project.Relations.join(QStringLiteral(" AND "))));
    return notLinked(LinkOutcome::MissingChildRow,
                     QStringLiteral("The record %1 of %2 has no row in its child table %3.")
                         .arg(quoted(key.text()), m_project.MasterTable,
                              missing.join(QStringLiteral("; nor in "))));
}

// "Department: no Department row has DeptID “99”", from the relation and the master row.
QString RecordLinker::missingChildRow(qsizetype child, const QSqlRecord& masterRow) const
{
    const QString table = m_project.DataTables[child];
    const QString relation = m_project.Relations[child];
    const std::optional<RelationColumns> columns =
        relationColumns(relation, m_project.MasterTable, table);
    const int column = columns ? masterRow.indexOf(columns->masterColumn) : -1;
    if (column < 0)
        return QStringLiteral("%1 that meets %2").arg(table, quoted(relation));
    const QVariant value = masterRow.value(column);
    if (value.isNull())
        return QStringLiteral("%1: its %2 is empty").arg(table, columns->masterColumn);
    QString text = QStringLiteral("%1: no %1 row has %2 %3")
                       .arg(table, columns->childColumn, quoted(value.toString()));
    if (columns->childColumn.compare(columns->masterColumn, Qt::CaseInsensitive) != 0)
        text += QStringLiteral(" (its %1)").arg(columns->masterColumn);
    return text;
}

Status RecordLinker::loadPictures(const QString& sql, LinkedRecord& record)
{
    struct Wanted {
        const QString& field;
        const QString& folder;
        QSize decodeSize;
        QImage& picture;
        QString& path;
        const char* what;
    };
    std::vector<Wanted> wanted;
    if (isPictureFieldSet(m_project.PhotoField))
        wanted.push_back({m_project.PhotoField, m_project.PhotoDir, m_photoDecode, record.photo,
                          record.photoPath, "photograph"});
    if (isPictureFieldSet(m_project.SignField))
        wanted.push_back({m_project.SignField, m_project.SignDir, m_signDecode, record.sign,
                          record.signPath, "signature"});
    const QString name = recordName(record.key);

    DatabaseConnection::Selection row = m_db.select(sql);
    if (row.outcome != DatabaseConnection::Outcome::Ok || !row.query.next()) {
        // Name the column that is gone from the record when one is; else every picture column.
        QStringList columns;
        for (const Wanted& w : wanted) {
            if (joinedColumn(record.values, w.field) < 0)
                columns << QStringLiteral("%1 column %2").arg(QLatin1String(w.what), w.field);
        }
        if (columns.isEmpty()) {
            for (const Wanted& w : wanted)
                columns << QStringLiteral("%1 column %2").arg(QLatin1String(w.what), w.field);
        }
        const QString why = row.outcome == DatabaseConnection::Outcome::Ok
                                ? QStringLiteral("the record changed while it was linked")
                                : row.error;
        return Status::failure(QStringLiteral("The %1 of %2 cannot be read: %3")
                                   .arg(columns.join(QStringLiteral(" or the ")), name, why));
    }
    const QSqlRecord pictureRow = row.query.record();
    std::vector<QString> values;
    for (const Wanted& w : wanted) {
        const int column = pictureRow.indexOf(columnPart(w.field));
        if (column < 0)
            return Status::failure(
                QStringLiteral("The %1 column %2 of %3 cannot be read: it is not in "
                               "the picture statement's row.")
                    .arg(QLatin1String(w.what), w.field, name));
        // A null value adds nothing to the folder.
        values.push_back(pictureRow.value(column).toString());
    }
    auto find = [this, &wanted, &values](size_t i) {
        return findPicture(wanted[i].folder, values[i], wanted[i].decodeSize, m_decodeFit);
    };
    // A click waits for both pictures: the signature decodes on another core meanwhile. (A
    // batch keeps its cores busy with badges of its own.)
    std::vector<Result<FoundPicture>> found;
    std::future<Result<FoundPicture>> second;
    if (wanted.size() == 2 && m_decodeFit == DecodeFit::Screen) {
        try {
            second = std::async(std::launch::async, find, 1);
        } catch (const std::system_error&) { // no thread to be had: one after the other
        }
    }
    for (size_t i = 0; i < wanted.size(); ++i)
        found.push_back(i == 1 && second.valid() ? second.get() : find(i));
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!found[i])
            return Status::failure(QStringLiteral("The %1 of %2 cannot be used: %3")
                                       .arg(QLatin1String(wanted[i].what), name, found[i].error()));
        wanted[i].picture = found[i]->picture;
        wanted[i].path = found[i]->path;
    }
    return {};
}

} // namespace vm
