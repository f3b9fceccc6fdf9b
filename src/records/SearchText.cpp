#include "records/SearchText.h"

#include <QString>

#include <array>
#include <memory>

namespace vm {
namespace {

// Letters that carry their mark in the letter itself, so decomposition leaves them whole.
char16_t plainLetter(char16_t c)
{
    switch (c) {
    case u'ł':
    case u'Ł':
        return u'l';
    case u'ø':
    case u'Ø':
        return u'o';
    case u'đ':
    case u'Đ':
        return u'd';
    case u'ħ':
    case u'Ħ':
        return u'h';
    case u'ı':
        return u'i';
    default:
        return 0;
    }
}

bool isMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// The folded UTF-8 of every character of the basic plane, worked out once: folding a million
// rows then costs a table look-up a character.
using FoldTable = std::array<std::string, 0x10000>;

std::unique_ptr<FoldTable> buildFoldTable()
{
    auto table = std::make_unique<FoldTable>();
    for (char32_t c = 0; c < 0x10000; ++c) {
        std::string& folded = (*table)[c];
        if (c < 0x20 || c == 0x7F) {
            folded.push_back(' ');
            continue;
        }
        if (c >= 0xD800 && c < 0xE000)
            continue; // surrogates are folded as pairs
        if (c < 0x80) {
            folded = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            continue;
        }
        if (const char16_t plain = plainLetter(char16_t(c))) {
            folded = char(plain);
            continue;
        }
        if (c == u'ß' || c == u'ẞ') {
            folded = "ss";
            continue;
        }
        const QString decomposed =
            QString(QChar(char16_t(c))).normalized(QString::NormalizationForm_KD).toCaseFolded();
        for (const char32_t part : decomposed.toUcs4()) {
            if (isMark(part))
                continue;
            if (part < 0x20 || part == 0x7F)
                folded += ' ';
            else
                appendUtf8(folded, part);
        }
    }
    return table;
}

const FoldTable& foldTable()
{
    static const std::unique_ptr<FoldTable> table = buildFoldTable();
    return *table;
}

} // namespace

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void appendSearchText(std::string& out, QStringView text)
{
    const FoldTable& table = foldTable();
    const qsizetype n = text.size();
    const char16_t* s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c >= 0x20 && c < 0x7F) { // the common case, without a look-up
            out += char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            const char32_t full = QChar::surrogateToUcs4(c, s[++i]);
            if (!isMark(full))
                appendUtf8(out, QChar::toCaseFolded(full));
        } else {
            out += table[c];
        }
    }
}

void appendSearchText(std::string& out, std::string_view utf8)
{
    const FoldTable& table = foldTable();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead >= 0x20 && lead < 0x7F) {
            out += char(lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead);
            ++i;
            continue;
        }
        if (lead < 0x80) {
            out += table[lead];
            ++i;
            continue;
        }
        // Decodes one sequence; anything malformed stands for one replacement character.
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        char32_t c = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
        bool valid = length > 0 && i + std::size_t(length) <= n;
        for (int k = 1; valid && k < length; ++k) {
            valid = (s[i + std::size_t(k)] & 0xC0) == 0x80;
            c = (c << 6) | (s[i + std::size_t(k)] & 0x3F);
        }
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            out += table[0xFFFD];
            ++i;
            continue;
        }
        i += std::size_t(length);
        if (c < 0x10000)
            out += table[c];
        else if (!isMark(c))
            appendUtf8(out, QChar::toCaseFolded(c));
    }
}

QByteArray searchText(QStringView text)
{
    std::string out;
    appendSearchText(out, text);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QList<QByteArray> searchTerms(QStringView typed)
{
    QList<QByteArray> terms;
    for (const QByteArray& word : searchText(typed).split(' ')) {
        if (!word.isEmpty() && !terms.contains(word))
            terms << word;
    }
    return terms;
}

} // namespace vm
