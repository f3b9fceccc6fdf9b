#pragma once

#include "records/PrintJournal.h"

#include <QStringList>

#include <optional>

class QWidget;

namespace vm {

class Dialogs;

// How a print from a window goes into the issuance record.
struct PrintIntent {
    bool testPrint = false; // marked on every card, not recorded
    IssueReason again = IssueReason::Reprint;
};

// Asked before the windows print the badges of `keys`: a test print when the operator chose test
// prints; otherwise why, when any of them was printed before, and whether to print a test print
// instead when the print cannot be recorded (no journal: the project is not saved). Nothing:
// print nothing.
std::optional<PrintIntent> askPrintIntent(Dialogs& dialogs, QWidget* parent, PrintJournal* journal,
                                          bool testPrints, const QStringList& keys);

// Once the output succeeded: the job goes to the journal; the operator is told when it could not
// be recorded.
void recordPrint(Dialogs& dialogs, QWidget* parent, PrintJournal* journal, const PrintJob& job);

} // namespace vm
