#include "records/MasterTableModel.h"

#include "project/Database.h"
#include "records/RecordKey.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace vm {
namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

} // namespace

MasterTableModel::MasterTableModel(DatabaseConnection& db, const QString& table,
                                   const QString& keyColumn, QObject* parent)
    : QSqlTableModel(parent, db.database())
    , m_db(db)
    , m_table(table)
    , m_keyColumn(keyColumn)
{
    setEditStrategy(OnManualSubmit);
}

bool MasterTableModel::open()
{
    m_problem.clear();
    // Quoted, so PostgreSQL keeps the capitals and SQLite takes names with blanks.
    setTable(database().driver()->escapeIdentifier(m_table, QSqlDriver::TableName));
    if (record().isEmpty())
        return fail(
            QStringLiteral("The table %1 was not found in the database.").arg(quoted(m_table)));
    if (!select())
        return fail(QStringLiteral("The table %1 cannot be read: %2")
                        .arg(quoted(m_table), m_db.describe(lastError())));
    m_kinds.clear();
    const QSqlRecord fields = record();
    for (int i = 0; i < fields.count(); ++i)
        m_kinds << m_db.columnKind(m_table, fields.fieldName(i));
    return true;
}

bool MasterTableModel::select()
{
    m_known.clear();
    return QSqlTableModel::select();
}

bool MasterTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return QSqlTableModel::setData(index, value, role);
    const int row = index.row();
    // The values as read, before the first edit: what an update expects the table still holds.
    if (!m_known.contains(row) && indexInQuery(index).isValid() && !isDirty(index))
        m_known.insert(row, record(row));
    const bool empty = value.typeId() == QMetaType::QString && value.toString().isEmpty();
    return QSqlTableModel::setData(index, empty ? QVariant() : value, role);
}

bool MasterTableModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (!QSqlTableModel::insertRows(row, count, parent))
        return false;
    QHash<int, QSqlRecord> shifted;
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
        shifted.insert(it.key() >= row ? it.key() + count : it.key(), it.value());
    m_known = shifted;
    return true;
}

bool MasterTableModel::save()
{
    m_problem.clear();
    m_notice.clear();
    if (dropEmptyNewRows())
        m_notice = QStringLiteral("Nothing was typed into the new record, so it was not saved.");
    if (!isDirty() || submitAll())
        return true;
    if (m_problem.isEmpty())
        m_problem = m_db.describe(lastError());
    return false;
}

// A new row left empty has nothing to insert; the engine would answer "No Fields to update".
bool MasterTableModel::dropEmptyNewRows()
{
    bool dropped = false;
    for (int row = rowCount() - 1; row >= 0; --row) {
        if (indexInQuery(index(row, 0)).isValid())
            continue;
        const QSqlRecord values = record(row);
        bool empty = true;
        for (int i = 0; i < values.count() && empty; ++i)
            empty = values.isNull(i);
        if (!empty)
            continue;
        revertRow(row);
        QHash<int, QSqlRecord> shifted;
        for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
            if (it.key() != row)
                shifted.insert(it.key() > row ? it.key() - 1 : it.key(), it.value());
        m_known = shifted;
        dropped = true;
    }
    return dropped;
}

int MasterTableModel::rowOf(const QSqlRecord& chosen) const
{
    const int keyField = fieldIndex(m_keyColumn);
    const auto same = [](const QVariant& a, const QVariant& b) {
        return a.isNull() == b.isNull() && (a.isNull() || a == b);
    };
    for (int row = 0; row < rowCount(); ++row) {
        const QSqlRecord read = original(row);
        bool match = read.count() == chosen.count();
        if (keyField >= 0)
            match = match && same(read.value(keyField), chosen.value(keyField));
        else
            for (int i = 0; i < read.count() && match; ++i)
                match = same(read.value(i), chosen.value(i));
        if (match)
            return row;
    }
    return -1;
}

bool MasterTableModel::deleteRecord(const QSqlRecord& chosen)
{
    m_problem.clear();
    if (isDirty() && !save()) // nothing is deleted while other changes fail to save
        return false;
    const int row = rowOf(chosen);
    if (row < 0)
        return fail(QStringLiteral("%1 was not deleted: it is no longer in the table.")
                        .arg(rowName(chosen, -1)));
    if (!removeRow(row))
        return false;
    if (save())
        return true;
    revertRow(row);
    return false;
}

bool MasterTableModel::fail(const QString& problem)
{
    m_problem = problem;
    return false;
}

QSqlRecord MasterTableModel::original(int row) const
{
    return m_known.contains(row) ? m_known.value(row) : record(row);
}

QString MasterTableModel::rowName(const QSqlRecord& values, int row) const
{
    const int key = values.indexOf(m_keyColumn);
    if (key >= 0 && !values.value(key).isNull())
        return QStringLiteral("The record with %1 %2")
            .arg(m_keyColumn, quoted(values.value(key).toString()));
    return row >= 0 ? QStringLiteral("Row %1").arg(row + 1) : QStringLiteral("The new record");
}

// Null-safe, so a column that was null is matched too.
QString MasterTableModel::conditionFor(int field, const QVariant& value, QVariantList& binds) const
{
    const QString name =
        database().driver()->escapeIdentifier(record().fieldName(field), QSqlDriver::FieldName);
    binds << value;
    return name + (m_db.engine() == DatabaseEngine::PostgreSQL
                       ? QStringLiteral(" is not distinct from ?")
                       : QStringLiteral(" is ?"));
}

bool MasterTableModel::refuseNonNumbers(const QSqlRecord& values, int row)
{
    // SQLite stores any text in a number column; a badge would then show it and joins fail.
    for (int i = 0; i < values.count(); ++i) {
        if (!values.isGenerated(i) || values.isNull(i) ||
            m_kinds.value(i, ColumnKind::Other) != ColumnKind::Numeric)
            continue;
        const QVariant value = values.value(i);
        if (value.typeId() != QMetaType::QString)
            continue;
        if (!RecordKey::fromText(value.toString(), ColumnKind::Numeric))
            return fail(
                QStringLiteral("%1 was not saved: %2 is not a number, and the column %3 "
                               "holds numbers.")
                    .arg(rowName(values, row), quoted(value.toString()), values.fieldName(i)));
    }
    return true;
}

QSqlRecord MasterTableModel::currentInTable(const QVariant& key) const
{
    const int keyField = fieldIndex(m_keyColumn);
    if (keyField < 0)
        return {};
    QVariantList binds;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("select * from %1 where %2")
                      .arg(tableName(), conditionFor(keyField, key, binds)));
    for (const QVariant& bind : binds)
        query.addBindValue(bind);
    if (!query.exec() || !query.next())
        return {};
    return query.record();
}

bool MasterTableModel::updateRowInTable(int row, const QSqlRecord& values)
{
    if (!refuseNonNumbers(values, row))
        return false;
    const int keyField = fieldIndex(m_keyColumn);
    const bool known = m_known.contains(row);
    const QSqlRecord before = original(row);
    QSqlDriver* driver = database().driver();

    QStringList sets;
    QVariantList binds;
    QStringList where;
    QVariantList whereBinds;
    if (keyField >= 0) // a row added and saved earlier in this session is found by its key alone
        where << conditionFor(keyField, before.value(keyField), whereBinds);
    for (int i = 0; i < values.count(); ++i) {
        if (!values.isGenerated(i))
            continue;
        sets << driver->escapeIdentifier(values.fieldName(i), QSqlDriver::FieldName) +
                    QStringLiteral(" = ?");
        binds << values.value(i);
        if (known || keyField < 0)
            where << conditionFor(i, before.value(i), whereBinds);
    }
    if (sets.isEmpty())
        return true;
    if (keyField < 0) { // without a key every column read must still hold its value
        where.clear();
        whereBinds.clear();
        for (int i = 0; i < before.count(); ++i)
            where << conditionFor(i, before.value(i), whereBinds);
    }

    QSqlDatabase db = database();
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("update %1 set %2 where %3")
                      .arg(tableName(), sets.join(QStringLiteral(", ")),
                           where.join(QStringLiteral(" and "))));
    for (const QVariant& bind : binds + whereBinds)
        query.addBindValue(bind);
    if (!query.exec()) {
        const QString why = m_db.describe(query.lastError());
        db.rollback();
        return fail(QStringLiteral("%1 was not saved: %2").arg(rowName(before, row), why));
    }
    const int changed = query.numRowsAffected();
    if (changed != 1) {
        db.rollback();
        if (changed > 1)
            return fail(QStringLiteral("%1 was not saved: %2 rows of the table match it, so it "
                                       "cannot be told apart from the others.")
                            .arg(rowName(before, row))
                            .arg(changed));
        const QSqlRecord now =
            keyField >= 0 ? currentInTable(before.value(keyField)) : QSqlRecord();
        if (now.isEmpty())
            return fail(QStringLiteral("%1 was not saved: another station has deleted it or "
                                       "changed its %2 since this table was read. What you typed "
                                       "is kept here.")
                            .arg(rowName(before, row), m_keyColumn));
        m_known.insert(row, now);
        return fail(QStringLiteral("%1 was not saved: another station has changed it since this "
                                   "table was read, and its changes were not overwritten. What "
                                   "you typed is kept here; save again to write it over theirs.")
                        .arg(rowName(before, row)));
    }
    db.commit();
    QSqlRecord after = before;
    for (int i = 0; i < values.count(); ++i) {
        if (values.isGenerated(i))
            after.setValue(i, values.value(i));
    }
    m_known.insert(row, after);
    return true;
}

bool MasterTableModel::insertRowIntoTable(const QSqlRecord& values)
{
    if (!refuseNonNumbers(values, -1))
        return false;
    if (QSqlTableModel::insertRowIntoTable(values))
        return true;
    return fail(QStringLiteral("%1 was not saved: %2")
                    .arg(rowName(values, -1), m_db.describe(lastError())));
}

bool MasterTableModel::deleteRowFromTable(int row)
{
    const QSqlRecord before = original(row);
    const int keyField = fieldIndex(m_keyColumn);
    QStringList where;
    QVariantList binds;
    if (keyField >= 0) {
        where << conditionFor(keyField, before.value(keyField), binds);
    } else {
        for (int i = 0; i < before.count(); ++i)
            where << conditionFor(i, before.value(i), binds);
    }
    QSqlDatabase db = database();
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("delete from %1 where %2")
                      .arg(tableName(), where.join(QStringLiteral(" and "))));
    for (const QVariant& bind : binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        const QString why = m_db.describe(query.lastError());
        db.rollback();
        return fail(QStringLiteral("%1 was not deleted: %2").arg(rowName(before, row), why));
    }
    const int deleted = query.numRowsAffected();
    if (deleted != 1) {
        db.rollback();
        return fail(deleted == 0
                        ? QStringLiteral("%1 was not deleted: another station has deleted it or "
                                         "changed its %2 since this table was read.")
                              .arg(rowName(before, row), m_keyColumn)
                        : QStringLiteral("%1 was not deleted: %2 rows of the table match it.")
                              .arg(rowName(before, row))
                              .arg(deleted));
    }
    db.commit();
    return true;
}

} // namespace vm
