#pragma once

#include "badge/BadgeSide.h"
#include "records/LinkedRecord.h"
#include "records/RecordLink.h"

#include <QSizeF>
#include <QStringList>

#include <optional>

namespace vm {

// What would print wrong on a badge, in the operator's words, one line a problem. Nothing is
// drawn: a run of a thousand badges is checked in a moment.

// The layout alone: logo files that could not be loaded.
QStringList layoutProblems(const BadgeSide& layout);

// A side as it prints with its record (none: never linked): a photograph or signature file
// missing while its frame is shown, field references printed for want of a record, text wider
// than its field or running past the card, text cut or shortened by its fitting, a hide
// condition naming a column the record lacks.
QStringList sideProblems(const BadgeSide& layout, const std::optional<LinkedRecord>& record,
                         QSizeF cardTwips);

// A fresh link of a badge's key against the badge's record: why it no longer links (no such
// record, a missing child row, a statement the engine rejects), or that its values changed since
// the badge was added. Empty when the badge still shows what the database holds.
QString relinkProblem(const LinkResult& fresh, const LinkedRecord& kept);

// The barcodes of a side as it prints with its record: a value the symbology cannot hold or a
// code too large for its frame, and a code that does not read back as its value from a picture
// at the printer's resolution (dpi).
QStringList barcodeProblems(const BadgeSide& layout, const std::optional<LinkedRecord>& record,
                            double dpi);

} // namespace vm
