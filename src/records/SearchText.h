#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <string>
#include <string_view>

namespace vm {

// Appends one code point as UTF-8; the record list keeps its cells and search keys in UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Text as the record search compares it: lower case, accents and other marks dropped,
// compatibility forms unfolded ("Ågren" and "agren", "Łukasz" and "lukasz", "ﬁ" and "fi" meet),
// control characters turned into blanks; UTF-8. Appended to `out`.
void appendSearchText(std::string& out, QStringView text);
// The same from UTF-8 (malformed bytes count as U+FFFD).
void appendSearchText(std::string& out, std::string_view utf8);
QByteArray searchText(QStringView text);

// What the operator typed, as the words every matching row must contain (in any column, in any
// order). Empty when nothing but blanks was typed.
QList<QByteArray> searchTerms(QStringView typed);

} // namespace vm
