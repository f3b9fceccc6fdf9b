#include "project/SqlText.h"

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

} // namespace

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

} // namespace vm
