#include "project/SqlText.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace vm {
namespace {

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Copies a quoted run starting at text[from] (the opening quote) to out; a doubled quote
// character continues the run. Returns the index after the closing quote.
qsizetype copyQuoted(const QString& text, qsizetype from, QString& out)
{
    const QChar quote = text[from];
    qsizetype i = from + 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        ++i;
    }
    out += QStringView(text).sliced(from, i - from);
    return i;
}

// SQLite's keywords: none of them may stand bare as a name.
bool isKeyword(const QString& word)
{
    static const QSet<QString> keywords = [] {
        const char* const words[] = {
            "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYZE", "AND", "AS",
            "ASC", "ATTACH", "AUTOINCREMENT", "BEFORE", "BEGIN", "BETWEEN", "BY", "CASCADE",
            "CASE", "CAST", "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT",
            "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
            "DATABASE", "DEFAULT", "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DETACH",
            "DISTINCT", "DO", "DROP", "EACH", "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDE",
            "EXCLUSIVE", "EXISTS", "EXPLAIN", "FAIL", "FILTER", "FIRST", "FOLLOWING", "FOR",
            "FOREIGN", "FROM", "FULL", "GENERATED", "GLOB", "GROUP", "GROUPS", "HAVING", "IF",
            "IGNORE", "IMMEDIATE", "IN", "INDEX", "INDEXED", "INITIALLY", "INNER", "INSERT",
            "INSTEAD", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN", "KEY", "LAST", "LEFT", "LIKE",
            "LIMIT", "MATCH", "MATERIALIZED", "NATURAL", "NO", "NOT", "NOTHING", "NOTNULL",
            "NULL", "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OTHERS", "OUTER", "OVER",
            "PARTITION", "PLAN", "PRAGMA", "PRECEDING", "PRIMARY", "QUERY", "RAISE", "RANGE",
            "RECURSIVE", "REFERENCES", "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPLACE",
            "RESTRICT", "RETURNING", "RIGHT", "ROLLBACK", "ROW", "ROWS", "SAVEPOINT", "SELECT",
            "SET", "TABLE", "TEMP", "TEMPORARY", "THEN", "TIES", "TO", "TRANSACTION", "TRIGGER",
            "UNBOUNDED", "UNION", "UNIQUE", "UPDATE", "USING", "VACUUM", "VALUES", "VIEW",
            "VIRTUAL", "WHEN", "WHERE", "WINDOW", "WITH", "WITHOUT"};
        QSet<QString> set;
        for (const char* w : words)
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return keywords.contains(word.toUpper());
}

} // namespace

QString bracketedName(const QString& name)
{
    const bool bare = !name.isEmpty() && !name[0].isDigit() && name[0] != u'$' &&
                      std::all_of(name.begin(), name.end(), isNameCharacter) && !isKeyword(name);
    return bare ? name : u'[' + name + u']';
}

QString unusableNameReason(const QString& name)
{
    if (name.contains(u'"'))
        return QStringLiteral("\u201c%1\u201d holds a double quote, which a project file cannot "
                              "store.")
            .arg(name);
    if (name.contains(u']'))
        return QStringLiteral("\u201c%1\u201d holds a closing bracket \u201c]\u201d, which no "
                              "statement of this program can name.")
            .arg(name);
    return {};
}

QString relationProbeStatement(const QString& quotedMaster, const QString& quotedChild,
                               const QString& relation)
{
    return QStringLiteral("select * from ") + quotedMaster + u',' + quotedChild +
           QStringLiteral(" where ") + relation + QStringLiteral(" limit 0");
}

QString doubleQuotedName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString bracketsToDoubleQuotes(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            i = copyQuoted(sql, i, out);
        } else if (c == u'[') {
            const qsizetype close = sql.indexOf(u']', i + 1);
            if (close < 0) { // unbalanced: leave it for the server to reject
                out += QStringView(sql).sliced(i);
                break;
            }
            out += doubleQuotedName(sql.sliced(i + 1, close - i - 1));
            i = close + 1;
        } else if (isNameCharacter(c)) {
            qsizetype end = i;
            while (end < sql.size() && isNameCharacter(sql[end]))
                ++end;
            const QString word = sql.sliced(i, end - i);
            const bool qualifiesBracketedName =
                !c.isDigit() && end + 1 < sql.size() && sql[end] == u'.' && sql[end + 1] == u'[';
            out += qualifiesBracketedName ? doubleQuotedName(word) : word;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::optional<RelationColumns> relationColumns(const QString& relation, const QString& master,
                                               const QString& child)
{
    // A table is bare, bracketed or double-quoted; a column bare or bracketed.
    static const QString table =
        QStringLiteral("(?:\\[([^\\]]+)\\]|\"([^\"]+)\"|([^\\s.\\[\\]\"]+))");
    static const QString column = QStringLiteral("\\[?([^\\]=]+?)\\]?");
    static const QRegularExpression form(QStringLiteral("\\A\\s*") + table + QStringLiteral("\\.") +
                                         column + QStringLiteral("\\s*=\\s*") + table +
                                         QStringLiteral("\\.") + column +
                                         QStringLiteral("\\s*\\z"));
    const QRegularExpressionMatch match = form.match(relation);
    if (!match.hasMatch())
        return std::nullopt;
    auto tableAt = [&match](int first) {
        for (int i = first; i < first + 3; ++i) {
            if (match.capturedStart(i) >= 0)
                return match.captured(i);
        }
        return QString();
    };
    const QString leftTable = tableAt(1), rightTable = tableAt(5);
    auto same = [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    if (same(leftTable, master) && same(rightTable, child))
        return RelationColumns{match.captured(4), match.captured(8)};
    if (same(leftTable, child) && same(rightTable, master))
        return RelationColumns{match.captured(8), match.captured(4)};
    return std::nullopt;
}

} // namespace vm
