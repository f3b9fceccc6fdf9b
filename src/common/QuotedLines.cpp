#include "common/QuotedLines.h"

#include "common/ReadFile.h"
#include "common/SaveFile.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace vm {

namespace {

char* put(char* out, QLatin1StringView text)
{
    if (!text.isEmpty())
        std::memcpy(out, text.data(), size_t(text.size()));
    return out + text.size();
}

} // namespace

QByteArray encodeQuotedLines(const QStringList& texts)
{
    qsizetype size = 0;
    for (const QString& text : texts)
        size += text.size() + 4;
    QuotedLinesBuilder out(size);
    for (const QString& text : texts)
        out.add(text);
    return out.take();
}

QuotedLinesBuilder::QuotedLinesBuilder(qsizetype expectedBytes)
    : m_utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless)
{
    if (expectedBytes > 0)
        grow(expectedBytes);
}

void QuotedLinesBuilder::add(QStringView text)
{
    open();
    appendUtf8(text);
    close();
}

void QuotedLinesBuilder::add(QLatin1StringView key, QLatin1StringView value)
{
    // Most lines of a file: made in one step.
    m_lastLine = m_size;
    char* out = extend(key.size() + value.size() + 4);
    *out++ = '"';
    out = put(out, key);
    out = put(out, value);
    std::memcpy(out, "\"\r\n", 3);
}

void QuotedLinesBuilder::add(QLatin1StringView key, QStringView value)
{
    open();
    put(extend(key.size()), key);
    appendUtf8(value);
    close();
}

void QuotedLinesBuilder::repeatLastLine()
{
    if (m_lastLine < 0)
        return;
    const qsizetype start = m_size;
    const qsizetype size = start - m_lastLine;
    char* out = extend(size); // first, as it may move the buffer
    std::memcpy(out, m_data + m_lastLine, size_t(size));
    m_lastLine = start;
}

QByteArray QuotedLinesBuilder::take()
{
    m_bytes.truncate(m_size);
    m_data = nullptr;
    m_size = 0;
    m_lastLine = -1;
    return std::move(m_bytes);
}

void QuotedLinesBuilder::grow(qsizetype size)
{
    m_bytes.resize(std::max(size, 2 * m_bytes.size()));
    m_data = m_bytes.data();
}

void QuotedLinesBuilder::appendUtf8(QStringView text)
{
    const qsizetype at = m_size;
    const char* end = m_utf8.appendToBuffer(extend(m_utf8.requiredSpace(text.size())), text);
    m_size = end - m_data;
    if (m_utf8.hasError()) {
        // An unpaired surrogate: the encoder would write U+FFFD where files have always had "?".
        m_utf8.resetState();
        m_size = at;
        const QByteArray utf8 = text.toUtf8();
        put(extend(utf8.size()), QLatin1StringView(utf8));
    }
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
    return DecodedLines(bytes).toStringList();
}

DecodedLines::DecodedLines(const QByteArray& bytes)
    : DecodedLines(decodeLegacyText(bytes))
{
}

Result<DecodedLines> DecodedLines::decode(const QByteArray& bytes, const TextCodePage& page,
                                          const QString& file)
{
    Result<QString> text = decodeText(bytes, page, file);
    if (!text)
        return text.status();
    return DecodedLines(std::move(*text));
}

DecodedLines::DecodedLines(QString text)
    : m_text(std::move(text))
{
    // A field a line as a rule; commas after a closing quote make more, and the list grows.
    m_fields.reserve(size_t(QStringView(m_text).count(u'\n')) + 1);
    const char16_t* first = nullptr;
    const char16_t* last = nullptr;
    for (FieldScanner in(m_text); in.next(&first, &last);)
        m_fields.emplace_back(first, last);
    while (!m_fields.empty() && m_fields.back().isEmpty())
        m_fields.pop_back(); // trailing blank lines are not fields
}

QStringList DecodedLines::toStringList() const
{
    QStringList texts;
    texts.reserve(m_fields.size());
    for (QStringView field : m_fields)
        texts.append(field.toString());
    return texts;
}

Result<DecodedLines> readQuotedLinesFile(const QString& path, const TextCodePage& page)
{
    const Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    return DecodedLines::decode(*bytes, page, path);
}

Result<QByteArray> quotedLinesFileBytes(const QString& path, const QByteArray& utf8,
                                        const TextCodePage& page)
{
    return encodeFromUtf8(utf8, page, path);
}

Status saveQuotedLinesFile(const QString& path, const QByteArray& utf8, const TextCodePage& page)
{
    const Result<QByteArray> bytes = quotedLinesFileBytes(path, utf8, page);
    if (!bytes)
        return bytes.status();
    return saveFileAtomically(path, *bytes);
}

} // namespace vm
