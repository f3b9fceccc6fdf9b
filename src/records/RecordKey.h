#pragma once

#include "common/Status.h"
#include "project/ColumnKind.h"

#include <QString>
#include <QVariant>

namespace vm {

// One value of the master table's unique field, typed by the column's kind. A key enters a
// statement only as a literal: a numeric key must be a number, anything else is quoted with its
// quotes doubled, so no key can break or widen the statement it is written into.
class RecordKey {
public:
    // A key that names no record (its problem() says so).
    RecordKey() = default;

    // The text as a record list or the command line shows it. A numeric key must read as a number
    // in the C locale (blanks around it are dropped); otherwise it is refused, naming the value.
    static Result<RecordKey> fromText(const QString& text, ColumnKind kind);
    // A value read from the master table. A value that cannot be looked up (a null, text in a
    // numeric column) still makes a key, whose problem() says why it cannot be linked.
    static RecordKey fromValue(const QVariant& value, ColumnKind kind);

    const QVariant& value() const { return m_value; }
    ColumnKind kind() const { return m_kind; }
    // As shown to the operator.
    QString text() const { return m_text; }
    // Why the key cannot be written into a statement; empty when it can.
    const QString& problem() const { return m_problem; }
    bool isValid() const { return m_problem.isEmpty(); }
    // The key as a statement literal: 17, 3.25, 'O''Brien'. Empty for a key with a problem.
    // `quoteNumbers`: numbers are quoted too ('17'), for an engine that reads a quoted literal
    // in the column's own type (PostgreSQL), so a real or a numeric(30) key compares at the
    // column's precision instead of going through double.
    QString sqlLiteral(bool quoteNumbers = false) const;

    friend bool operator==(const RecordKey& a, const RecordKey& b)
    {
        return a.m_kind == b.m_kind && a.m_text == b.m_text && a.m_problem == b.m_problem;
    }

private:
    QVariant m_value;
    ColumnKind m_kind = ColumnKind::Other;
    QString m_text;
    QString m_problem = QStringLiteral("No record is chosen.");
};

} // namespace vm
