#pragma once

#include "badge/BadgeSide.h"

#include <QLocale>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace vm {

// A column's value as its field shows it: a date in the format's date format, a number with its
// decimals and thousands separator (in the locale's symbols), then the letter case, then prefix
// and suffix, which are left off when the value is empty. A value that is no date (or no number)
// is shown as stored. Empty for a null or blank value.
QString formattedValue(const QVariant& value, const FieldFormat& format,
                       const QLocale& locale = QLocale());

// Whether a hide condition holds on a record. Numbers compare as numbers and dates as dates when
// both sides read as such, other values as text without regard to case; a null compares as an
// empty text. The condition is never written into a statement.
enum class ConditionOutcome { Holds, DoesNotHold, NoSuchColumn };
ConditionOutcome evaluate(const HideCondition& condition, const QSqlRecord& record);

// Why a condition cannot be decided on the record ("its condition … names the column …, which the
// record does not have"); empty when it can or is unset. The field is then shown.
QString conditionProblem(const HideCondition& condition, const QSqlRecord& record);

} // namespace vm
