#pragma once

#include "common/Status.h"
#include "common/TextCodePage.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

#include <cstring>
#include <span>
#include <vector>

namespace vm {

// The project file, the badge file and the scratch files are sequences of quoted fields, one per
// line: a double quote, the text, a double quote, CR LF. There is no escape for a quote inside
// a value, so writers must keep quotes out (see containsQuote).

// Encodes the texts as quoted lines in UTF-8 with CR LF line ends; encodeFromUtf8
// (common/TextCodePage.h) and saveQuotedLinesFile put them into a project's code page.
QByteArray encodeQuotedLines(const QStringList& texts);

// Builds the same encoding line by line in one buffer, converting each text straight into it:
// writers that make hundreds of lines then allocate about once, not once a line.
class QuotedLinesBuilder {
public:
    explicit QuotedLinesBuilder(qsizetype expectedBytes = 0);

    void add(QStringView text);
    // A key and its value as one line. Latin-1 parts must be ASCII (keys, numbers, flags):
    // they are copied as they are.
    void add(QLatin1StringView key, QLatin1StringView value);
    void add(QLatin1StringView key, QStringView value);
    // Adds the last line added once more.
    void repeatLastLine();

    // The lines added; the builder is empty afterwards.
    QByteArray take();

private:
    // Room for n more bytes at the end, for the caller to fill.
    char* extend(qsizetype n)
    {
        if (m_size + n > m_bytes.size())
            grow(m_size + n);
        char* out = m_data + m_size;
        m_size += n;
        return out;
    }
    void grow(qsizetype size);
    void appendUtf8(QStringView text);
    void open()
    {
        m_lastLine = m_size;
        *extend(1) = '"';
    }
    void close() { std::memcpy(extend(3), "\"\r\n", 3); }

    // The buffer's size is the room made so far, of which m_size bytes are written: growing it
    // is rare, and the bytes are then written through a plain pointer.
    QByteArray m_bytes;
    char* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_lastLine = -1;
    QStringEncoder m_utf8;
};

// Splits file bytes into field texts with the quotes removed. A quoted field runs to its closing
// quote, even across line ends; whatever follows it up to the end of the line is dropped (a comma
// there starts another field, as the original reader did). An unquoted line is taken whole.
// LF and CR LF line ends are both accepted; trailing blank lines are ignored.
QStringList decodeQuotedLines(const QByteArray& bytes);

// The same fields as views into one decoded text, for readers: a file costs two allocations
// however many lines it has. Copies share the text, and the views stay valid while any copy
// lives.
class DecodedLines {
public:
    DecodedLines() = default;
    // Decoded as when no code page is chosen.
    explicit DecodedLines(const QByteArray& bytes);
    // Decoded in the code page; bytes it does not have are refused, naming `file` and the line.
    static Result<DecodedLines> decode(const QByteArray& bytes, const TextCodePage& page,
                                       const QString& file);

    std::span<const QStringView> fields() const { return m_fields; }
    qsizetype size() const { return qsizetype(m_fields.size()); }
    bool isEmpty() const { return m_fields.empty(); }
    QStringView operator[](qsizetype i) const { return m_fields[size_t(i)]; }

    QStringList toStringList() const;

private:
    explicit DecodedLines(QString text);

    QString m_text;
    std::vector<QStringView> m_fields;
};

// Every project, badge and scratch file is read and written through these two, in the code page
// given or else the open project's (legacyCodePage). A failure names the file and the reason.
Result<DecodedLines> readQuotedLinesFile(const QString& path,
                                         const TextCodePage& page = legacyCodePage());
// `utf8` as QuotedLinesBuilder and encodeQuotedLines make it.
Status saveQuotedLinesFile(const QString& path, const QByteArray& utf8,
                           const TextCodePage& page = legacyCodePage());
// The bytes saveQuotedLinesFile writes, for a file written together with another.
Result<QByteArray> quotedLinesFileBytes(const QString& path, const QByteArray& utf8,
                                        const TextCodePage& page = legacyCodePage());

inline bool containsQuote(const QString& text)
{
    return text.contains(QLatin1Char('"'));
}

} // namespace vm
