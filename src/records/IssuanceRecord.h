#pragma once

#include "common/Status.h"
#include "project/StoredSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace vm {

class DatabaseConnection;

// Why a badge was printed.
enum class IssueReason { FirstIssue, Reprint, Replacement };

// "first issue", "reprint", "replacement": as the record stores them and the command line takes
// them.
QString issueReasonName(IssueReason reason);
std::optional<IssueReason> issueReasonNamed(const QString& name);

// One badge sent to a printer or written to a file. The record numbers the entries and chains
// them: each hash covers the entry's content and the hash of the entry before it, so an entry
// changed, removed or put in between afterwards no longer fits the chain.
struct IssuanceEntry {
    qint64 number = 0; // from 1, in the order appended
    QString project;
    QString layout;        // the badge's name
    QString sides;         // "front", "back" or "front+back"
    QString key;           // the person's value of the unique field, as the list shows it
    QString fingerprint;   // SHA-256 (hex) of the values and pictures printed
    QString output;        // the printer's name or the file written
    QString station;       // host name
    QString user;          // operating-system user
    QDateTime printedAt;   // UTC, to the millisecond
    QString printedAtText; // as kept and hashed: ISO 8601 in UTC with milliseconds
    QString reasonText;    // issueReasonName()
    QString previousHash;  // hex; the first entry's is all zeros
    QString hash;          // hex

    // The hash the entry's content and previousHash give.
    QString computedHash() const;
    void setPrintedAt(const QDateTime& time);
    void setReason(IssueReason reason);
};

// This station and its user, for new entries.
QString stationName();
QString operatingSystemUser();

// How often a person was printed, and the last print.
struct IssueSummary {
    int count = 0;
    QDateTime lastPrinted;
    QString lastFingerprint;
    QString lastLayout;
    QString lastSides;
};

// The first entry that does not fit the chain; none when the chain is whole.
struct ChainBreak {
    qint64 number = 0;
    QString why;
};

// A project's issuance record. Entries are only ever appended. It lives in the project's
// database when that is PostgreSQL (schema "vellumark", made on first use) or SQLite (table
// "vellumark_issued"); for an Access project, which is read-only, and whenever the database
// cannot hold it, in NAME.issued.sqlite beside the project file. Where it went the first time
// is kept in the project's companion file, so every station keeps writing to the same place.
class IssuanceRecord {
public:
    ~IssuanceRecord();
    IssuanceRecord(const IssuanceRecord&) = delete;
    IssuanceRecord& operator=(const IssuanceRecord&) = delete;

    struct Opened;
    // Opens the record of the project in `projectFile`, making it on first use. `notice` says
    // what the operator should know although it opened (the database role may not make the
    // schema, so the record went to the file beside the project). `schema` is for tests that
    // share one server.
    // Only to read (`create` false): a project that has no record yet gets none, and nothing is
    // made or written.
    static Result<Opened> open(const QString& projectFile, const StoredSettings& project,
                               const QString& schema = QStringLiteral("vellumark"),
                               bool create = true);

    // Where the entries are kept, in the operator's words.
    QString place() const { return m_place; }

    // Appends the entries as one transaction that holds the record's lock from reading the last
    // entry to writing the new ones, so two stations appending at once never fork the chain.
    // Number, previous hash and hash are filled in, and the reason of an entry that has none:
    // first issue for a person the record does not hold yet, else `again`.
    Status append(QList<IssuanceEntry>& entries, IssueReason again = IssueReason::Reprint);

    // Reads the whole chain in order; the first entry that does not fit, or none.
    Result<std::optional<ChainBreak>> verify();

    // The entries of a project, oldest first: from `since` on (when valid) and of one key (when
    // given).
    Result<QList<IssuanceEntry>> entries(const QString& project, const QDateTime& since = {},
                                         const std::optional<QString>& key = std::nullopt);

    // Every person of a project printed at least once, by key: one grouped statement.
    Result<QHash<QString, IssueSummary>> summary(const QString& project);

private:
    IssuanceRecord() = default;
    Status prepare(bool postgres);
    QString table() const;

    std::unique_ptr<DatabaseConnection> m_connection; // the project database's, when there
    QSqlDatabase m_db;
    QString m_fileConnection; // the connection name of a record file
    bool m_postgres = false;
    QString m_schema;
    QString m_place;
};

struct IssuanceRecord::Opened {
    std::unique_ptr<IssuanceRecord> record; // none: read only, and the project has no record yet
    QString notice;
};

// The record file beside a project file: "Staff.Prj" -> "Staff.issued.sqlite".
QString issuanceFilePath(const QString& projectFile);

} // namespace vm
