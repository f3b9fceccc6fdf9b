#pragma once

#include "project/ColumnKind.h"

#include <QHash>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace vm {

class DatabaseConnection;

// The master table as an editable grid: edits stay in the model until saved, and a save writes
// each changed row on its own, so a row the engine refuses keeps what was typed while the rows
// before it are stored. A row is found again by the unique field's value as it was read, and an
// update only goes through while the columns it changes still hold what this model read: a
// change made at another station in the meantime is reported, never overwritten unseen.
class MasterTableModel : public QSqlTableModel {
    Q_OBJECT
public:
    MasterTableModel(DatabaseConnection& db, const QString& table, const QString& keyColumn,
                     QObject* parent = nullptr);

    // Reads the table; false with problem() set when it cannot be read.
    bool open();

    // An empty text typed into a cell stores a null.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = {}) override;
    bool select() override;

    // Writes every pending change. False with problem() saying which row failed and why; that
    // row and the ones after it keep their changes, rows written before it stay written.
    bool save();
    // Deletes the record the operator chose, found again by its key (by every column without
    // one) after pending changes elsewhere are saved: a save re-reads the table, and the rows
    // may then stand in another order.
    bool deleteRecord(const QSqlRecord& chosen);
    // A row added here and not saved yet.
    bool isNew(int row) const { return !indexInQuery(index(row, 0)).isValid(); }
    // The row holding the record that chosen was read from, or -1.
    int rowOf(const QSqlRecord& chosen) const;
    // The record of a row as read, before any edit: what rowOf() finds again.
    QSqlRecord chosen(int row) const { return original(row); }

    // What went wrong, in the operator's words, with the engine's text.
    QString problem() const { return m_problem; }
    // Said by the last save without being a failure (an empty new row left out).
    QString notice() const { return m_notice; }
    QString tableTitle() const { return m_table; }
    int keyColumn() const { return fieldIndex(m_keyColumn); }

protected:
    bool updateRowInTable(int row, const QSqlRecord& values) override;
    bool insertRowIntoTable(const QSqlRecord& values) override;
    bool deleteRowFromTable(int row) override;

private:
    QString conditionFor(int field, const QVariant& value, QVariantList& binds) const;
    QString rowName(const QSqlRecord& original, int row) const;
    bool refuseNonNumbers(const QSqlRecord& values, int row);
    bool fail(const QString& problem);
    QSqlRecord currentInTable(const QVariant& key) const;
    QSqlRecord original(int row) const;
    bool dropEmptyNewRows();

    DatabaseConnection& m_db;
    QString m_table;
    QString m_keyColumn;
    QList<ColumnKind> m_kinds;
    QString m_problem;
    QString m_notice;
    // What the table holds for a row after this model wrote it or found it changed elsewhere,
    // until the next full read.
    QHash<int, QSqlRecord> m_known;
};

} // namespace vm
