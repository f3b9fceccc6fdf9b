#include "common/QuotedLines.h"

#include <QStringDecoder>

namespace vm {

QByteArray encodeQuotedLines(const QStringList& texts)
{
    QByteArray out;
    qsizetype size = 0;
    for (const QString& text : texts)
        size += text.size() + 4;
    out.reserve(size);
    for (const QString& text : texts) {
        out += '"';
        out += text.toUtf8();
        out += "\"\r\n";
    }
    return out;
}

QString decodeLegacyText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252.decode(bytes);
    return QString::fromLatin1(bytes);
}

namespace {

const char16_t* find(const char16_t* from, const char16_t* end, char16_t c)
{
    const qsizetype at = QStringView(from, end).indexOf(QChar(c));
    return at < 0 ? end : from + at;
}

// The fields of the text one after the other. Searches go through QStringView::indexOf rather
// than loops over characters, and nothing is copied: files are read far more often than they
// are long, and every badge shown is read this way.
class FieldScanner {
public:
    explicit FieldScanner(QStringView text)
        : m_p(text.utf16())
        , m_end(m_p + text.size())
        , m_lf(find(m_p, m_end, u'\n'))
    {
    }

    // The next field's characters; false at the end of the text.
    bool next(const char16_t** first, const char16_t** last)
    {
        if (m_p == m_end)
            return false;
        const char16_t* start = m_p;
        while (start != m_end && *start == u' ')
            ++start;
        if (start == m_end || *start != u'"') {
            *first = start;
            *last = lineEnd(start);
            m_p = skipLineEnd(*last);
            return true;
        }
        *first = start + 1;
        *last = find(*first, m_end, u'"');
        if (*last == m_end) { // unterminated: the rest of the text is the field
            m_p = m_end;
            return true;
        }
        // Whatever follows the closing quote on its line is dropped; a comma starts a field.
        const char16_t* after = *last + 1;
        while (after != m_end && *after != u',' && *after != u'\n' && *after != u'\r')
            ++after;
        m_p = (after != m_end && *after == u',') ? after + 1 : skipLineEnd(after);
        return true;
    }

private:
    // The next line feed is remembered, so a file with CR line ends is not searched through
    // to its end for every line.
    const char16_t* lineEnd(const char16_t* from)
    {
        if (m_lf < from)
            m_lf = find(from, m_end, u'\n');
        return find(from, m_lf, u'\r');
    }

    const char16_t* skipLineEnd(const char16_t* p) const
    {
        if (p != m_end && *p == u'\r')
            ++p;
        if (p != m_end && *p == u'\n')
            ++p;
        return p;
    }

    const char16_t* m_p;
    const char16_t* m_end;
    const char16_t* m_lf;
};

} // namespace

QStringList decodeQuotedLines(const QByteArray& bytes)
{
    const QString text = decodeLegacyText(bytes);
    const char16_t* first = nullptr;
    const char16_t* last = nullptr;
    // Counted first, so the list is made once and filled in place.
    qsizetype count = 0;
    qsizetype nonEmpty = 0; // trailing blank lines are not fields
    for (FieldScanner in(text); in.next(&first, &last);) {
        ++count;
        if (first != last)
            nonEmpty = count;
    }
    QStringList fields(nonEmpty);
    QString* out = fields.data();
    FieldScanner in(text);
    for (qsizetype i = 0; i < nonEmpty && in.next(&first, &last); ++i)
        out[i] = QString(reinterpret_cast<const QChar*>(first), last - first);
    return fields;
}

} // namespace vm
