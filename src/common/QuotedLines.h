#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vm {

// The project file, the badge file and the scratch files are sequences of quoted fields, one per
// line: a double quote, the text, a double quote, CR LF. There is no escape for a quote inside
// a value, so writers must keep quotes out (see containsQuote).

// Encodes the texts as quoted lines in UTF-8 with CR LF line ends.
QByteArray encodeQuotedLines(const QStringList& texts);

// Decodes file bytes as text: UTF-8 when valid, otherwise Windows-1252 (files written by older
// versions in the 8-bit code page).
QString decodeLegacyText(const QByteArray& bytes);

// Splits file bytes into field texts with the quotes removed. A quoted field runs to its closing
// quote, even across line ends; whatever follows it up to the end of the line is dropped (a comma
// there starts another field, as the original reader did). An unquoted line is taken whole.
// LF and CR LF line ends are both accepted; trailing blank lines are ignored.
QStringList decodeQuotedLines(const QByteArray& bytes);

inline bool containsQuote(const QString& text)
{
    return text.contains(QLatin1Char('"'));
}

} // namespace vm
