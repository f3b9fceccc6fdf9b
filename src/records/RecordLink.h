#pragma once

#include "common/PictureFiles.h"
#include "project/Database.h"
#include "project/StoredSettings.h"
#include "records/LinkedRecord.h"
#include "records/RecordKey.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>

#include <optional>

namespace vm {

// Names the columns of a joined row as the old provider did: a column name that occurs in more
// than one of the joined tables is called Table.Column; the others keep their own name.
// `tables` are the joined tables in select-list order with their column counts.
QSqlRecord qualifyJoinedColumns(const QSqlRecord& row, const QList<QPair<QString, int>>& tables);

// A key typed as the unique field of the kind given; a refusal names the value and the column.
// Runs no statement: the kind comes from whoever read it (the record list reads it aside).
Result<RecordKey> uniqueFieldKey(const QString& text, ColumnKind kind,
                                 const StoredSettings& project);

enum class LinkOutcome {
    Linked,
    NoSuchRecord,    // the master table has no row for the key
    MissingChildRow, // the master row exists, a child table has no row related to it
    Rejected,        // the engine refused the record statement: "Error in data linking"
    SharedKey,       // more than one master row holds the key: which one is meant is unknown
    ConnectionLost,  // the database server went away; nothing after this links either
    Failed,          // a refused key, a picture that cannot be read, a lost connection
};

struct LinkResult {
    LinkOutcome outcome = LinkOutcome::Failed;
    QString message; // why not, naming the table, column and value; empty when linked
    std::optional<LinkedRecord> record; // set only when linked
};

// Links one record of the master table: its joined row and its pictures come back together or
// not at all, the same way for the rendering windows, the print page and batch printing.
class RecordLinker {
public:
    RecordLinker(DatabaseConnection& database, StoredSettings project);

    // The kind of the unique field, read once from the database.
    ColumnKind keyKind();
    // A key typed as the unique field is; a refusal names the value and the column.
    Result<RecordKey> keyFromText(const QString& text);

    // A key of another kind than the unique field's is read again as the unique field's kind.
    LinkResult link(const RecordKey& key);

    // The keys more than one master row holds, with how many, found once for a run (see
    // sharedKeys()); from then on a link counts no rows of its own.
    void setSharedKeys(QHash<QString, qint64> shared) { m_sharedKeys = std::move(shared); }
    // Every key of the master table that more than one row holds, by its text, with how many;
    // one statement for the whole table.
    Result<QHash<QString, qint64>> sharedKeys();

    // Batch printing decodes photographs only as large as they print; without a size they decode
    // no larger than a card at the print resolution. The views decode for the screen.
    void setPictureDecodeSize(QSize photo, QSize sign, DecodeFit fit = DecodeFit::Exact);

private:
    QList<QPair<QString, int>> joinedTables();
    QString refusal(const QString& problem);
    QString recordName(const RecordKey& key) const;
    QString sharedKeyText(const RecordKey& key, qint64 rows) const;
    bool quoteNumbers() const { return m_db.engine() == DatabaseEngine::PostgreSQL; }
    LinkResult statementFailed(const DatabaseConnection::Selection& selection,
                               const RecordKey& key) const;
    LinkResult whyNoRow(const RecordKey& key);
    QString missingChildRow(qsizetype child, const QSqlRecord& masterRow) const;
    Status loadPictures(const QString& sql, LinkedRecord& record);

    DatabaseConnection& m_db;
    const StoredSettings m_project;
    std::optional<ColumnKind> m_keyKind;
    std::optional<QList<QPair<QString, int>>> m_joined;
    std::optional<QHash<QString, qint64>> m_sharedKeys;
    QSize m_photoDecode, m_signDecode;
    DecodeFit m_decodeFit = DecodeFit::Exact;
};

} // namespace vm
