#pragma once

#include "badge/BadgeSide.h"
#include "records/RecordKey.h"

#include <QImage>
#include <QSqlRecord>
#include <QString>

namespace vm {

// One record as linked: the joined row of the master and child tables (columns named as the
// fill looks them up) and its pictures. A null picture means the record has none to show.
struct LinkedRecord {
    RecordKey key;
    QSqlRecord values;
    QImage photo, sign;
    QString photoPath, signPath; // the files the pictures were looked for under, last name tried
};

// Where a "Table.Column" is found in a joined row: under that whole name (a joined row names a
// column so where two of its tables share the name, compared without regard to case), else
// under the column name alone; -1 when the row has neither.
int joinedColumn(const QSqlRecord& row, const QString& column);

// The layout with the record's values in its fields and its pictures in its frames. Each field
// takes its column's value in the field's format (a null shows as one blank) and is hidden when
// its condition holds; a field whose column the record lacks keeps its reference. Positions, fonts and visibility stay as designed; the layout itself is
// never changed, so callers keep the designed side with its field references.
BadgeSide filledSide(const BadgeSide& layout, const LinkedRecord& record);

// What a side shows when no record could be linked: every field blank, photograph and signature
// frames empty without their placeholder. Nothing of any record remains.
BadgeSide emptiedSide(const BadgeSide& layout);

} // namespace vm
