#pragma once

#include "common/Status.h"
#include "project/StoredSettings.h"
#include "records/IssuanceRecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace vm {

struct BadgeSide;
struct LinkedRecord;

// The sides of one badge a print carried: "front", "back" or "front+back".
QString printedSidesName(bool front, bool back);

// The SHA-256 (hex) of what a person's badge shows: the value of each visible field of the
// sides printed, with its reference, and the bytes of the photograph and signature files whose
// frames are shown. The same person printed again with nothing changed gives the same text.
QString printedFingerprint(const QList<const BadgeSide*>& layouts, const LinkedRecord& record);

// One person's badge in a print.
struct PrintedBadge {
    QString layout; // the badge's name
    QString sides;  // printedSidesName()
    QString key;    // as the record list shows it
    QString fingerprint;
};

// What one print put out, handed to the journal once the output succeeded.
struct PrintJob {
    QString output; // the printer's name or the file written
    // Why people printed before are printed again; a person never printed is a first issue.
    IssueReason again = IssueReason::Reprint;
    bool testPrint = false; // marked as such on the cards and never recorded
    QList<PrintedBadge> badges;
};

// Where every print path reports what it printed: the print of a side, the print page and the
// batch. A print that failed is never reported.
class PrintJournal {
public:
    virtual ~PrintJournal() = default;
    // Asked before printing: why the journal could not take the print (nothing should be
    // printed then, other than a test print).
    virtual Status ready() = 0;
    // The people among `keys` printed before.
    virtual Result<QHash<QString, IssueSummary>> printedBefore(const QStringList& keys) = 0;
    // A test print, or a print without a person, adds nothing.
    virtual Status record(const PrintJob& job) = 0;
    // What the operator should be told once about where the record is kept; empty: nothing.
    virtual QString takeNotice() { return {}; }
};

// The journal of a project: its issuance record, opened on first use.
class IssuanceJournal final : public PrintJournal {
public:
    IssuanceJournal(QString projectFile, StoredSettings project,
                    QString schema = QStringLiteral("vellumark"));
    ~IssuanceJournal() override;

    Status ready() override;
    Result<QHash<QString, IssueSummary>> printedBefore(const QStringList& keys) override;
    Status record(const PrintJob& job) override;

    QString takeNotice() override { return std::exchange(m_notice, QString()); }
    IssuanceRecord* issuanceRecord() { return m_record.get(); }

private:
    QString m_projectFile;
    StoredSettings m_project;
    QString m_schema;
    std::unique_ptr<IssuanceRecord> m_record;
    QString m_notice;
};

} // namespace vm
