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

QStringList decodeQuotedLines(const QByteArray& bytes)
{
    const QString text = decodeLegacyText(bytes);
    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;

    auto atLineEnd = [&](qsizetype pos) {
        return pos >= n || text[pos] == QLatin1Char('\n') || text[pos] == QLatin1Char('\r');
    };
    auto skipLineEnd = [&](qsizetype pos) {
        if (pos < n && text[pos] == QLatin1Char('\r'))
            ++pos;
        if (pos < n && text[pos] == QLatin1Char('\n'))
            ++pos;
        return pos;
    };

    while (i < n) {
        qsizetype start = i;
        while (start < n && text[start] == QLatin1Char(' '))
            ++start;
        if (start < n && text[start] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), start + 1);
            if (close < 0) { // unterminated: the rest of the file is the field
                fields << text.mid(start + 1);
                break;
            }
            fields << text.mid(start + 1, close - start - 1);
            i = close + 1;
            while (!atLineEnd(i) && text[i] != QLatin1Char(','))
                ++i;
            i = (i < n && text[i] == QLatin1Char(',')) ? i + 1 : skipLineEnd(i);
        } else {
            qsizetype end = start;
            while (!atLineEnd(end))
                ++end;
            fields << text.mid(start, end - start);
            i = skipLineEnd(end);
        }
    }
    while (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    return fields;
}

} // namespace vm
