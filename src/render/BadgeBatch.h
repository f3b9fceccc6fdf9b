#pragma once

#include "common/TextCodePage.h"
#include "records/IssuanceRecord.h"
#include "render/SheetLayout.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vm {

class PrintJournal;

// Renders one badge for many records of a project to a PDF or to PNG files, linking each record
// exactly as the rendering windows do, and laying the cards out through the page composer: one
// card-sized page per side, or sheets of cards. A run that renders no side writes no file, so an
// earlier output survives it. Used by the vellumark-print command.
struct BadgeBatchRequest {
    enum class Sides { Front, Back, Both };

    QString projectFile;
    QString badge;    // a name in the project's badge folder, or a path to a badge file
    QStringList keys; // values of the unique field as the record list shows them
    bool allRecords = false;
    Sides sides = Sides::Both;
    int dpi = 300;  // PNG resolution; in a PDF, the resolution photographs are kept at
    QString output; // ".pdf" or ".png"
    // The code page of a project without a companion file; a companion's wins.
    TextCodePage codePage;

    // How the cards are laid out. None: a page the card's size for each side, as ever.
    std::optional<SheetKind> sheet;
    bool cropMarks = false;
    // With both sides: each sheet of fronts followed by one of backs, turned over on this edge;
    // None puts each back beside its front.
    Duplex duplex = Duplex::None;
    QPointF offsetMm; // the printer's calibration, added to every position
    int jobs = 0;     // threads linking records and reading pictures; 0: one a core

    // Told of every person's badge rendered, once the output is written; none: nothing is
    // recorded. Needed to select people by their prints.
    PrintJournal* journal = nullptr;
    IssueReason again = IssueReason::Reprint; // why people printed before are printed again
    bool testPrint = false;                   // cards marked as such; nothing recorded
    // Of the records asked for (every record when none are), only those never printed, or only
    // those whose badge would print differently now than at their last print.
    enum class Selection { Everyone, NotPrinted, ChangedSincePrinted };
    Selection select = Selection::Everyone;
};

struct BadgeBatchResult {
    bool ok = false;       // every requested record was rendered and the output written
    bool unusable = false; // the project, badge, database or output could not be used
    int records = 0;       // records rendered (checked, for a check)
    int pages = 0;         // pages written
    int problems = 0;      // problems a check found
    bool recorded = false; // the issuance record holds the badges rendered
    QStringList files;     // files written, each exactly once; none when no side was rendered
};

// Messages for the operator (errors, skipped records, progress) go to `report`, one line each.
BadgeBatchResult renderBadgeBatch(const BadgeBatchRequest& request,
                                  const std::function<void(const QString&)>& report);

// The badge itself rather than one record (a missing logo file), in a check's key column.
inline const QString EveryRecordKey = QStringLiteral("*");

// What the run would print wrong, without rendering or writing anything: each problem goes to
// `problem` with the key of its record (EveryRecordKey for the badge itself), in key order.
BadgeBatchResult checkBadgeBatch(
    const BadgeBatchRequest& request, const std::function<void(const QString&)>& report,
    const std::function<void(const QString& key, const QString& problem)>& problem);

// A key as a check line shows it: a tab, line break or backslash in it is written \t, \n, \r
// or \\, so each problem stays one line of two tab-separated columns.
QString escapedCheckKey(const QString& key);

} // namespace vm
