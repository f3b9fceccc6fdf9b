#include "common/TextCodePage.h"

#include <QDir>
#include <QStringList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <mutex>

namespace vm {
namespace {

struct Known {
    const char* name;
    const char* script;
};

// What Windows called them; the converters know them by these names.
constexpr Known Pages[] = {
    {"UTF-8", "Unicode"},
    {"windows-1250", "Central European"},
    {"windows-1251", "Cyrillic"},
    {"windows-1252", "Western European"},
    {"windows-1253", "Greek"},
    {"windows-1254", "Turkish"},
    {"windows-1255", "Hebrew"},
    {"windows-1256", "Arabic"},
    {"windows-1257", "Baltic"},
    {"windows-1258", "Vietnamese"},
    {"windows-874", "Thai"},
};

bool isUtf8(const TextCodePage& page)
{
    return page.name() == QLatin1String("UTF-8");
}

// The converters map the holes of these code pages to C1 controls or to private-use characters
// instead of reporting them; neither is a letter any of them has.
bool isHole(char32_t c)
{
    return (c >= 0x80 && c <= 0x9f) || (c >= 0xe000 && c <= 0xf8ff);
}

bool hasHole(QStringView text)
{
    for (QChar c : text) {
        if (isHole(c.unicode()))
            return true;
    }
    return false;
}

qsizetype lineOf(const QByteArray& bytes, qsizetype at)
{
    return QByteArrayView(bytes).first(std::max<qsizetype>(at, 0)).count('\n') + 1;
}

QString shown(const QString& file)
{
    return file.isEmpty() ? QStringLiteral("The text") : QDir::toNativeSeparators(file);
}

Status refusedBytes(const QByteArray& bytes, qsizetype at, const TextCodePage& page,
                    const QString& file)
{
    const QString where =
        isUtf8(page)
            ? QStringLiteral("line %1 is not valid UTF-8").arg(lineOf(bytes, at))
            : QStringLiteral("line %1 holds the byte 0x%2, which %3 does not have")
                  .arg(lineOf(bytes, at))
                  .arg(uchar(bytes.at(std::max<qsizetype>(at, 0))), 2, 16, QLatin1Char('0'))
                  .arg(page.title());
    return Status::failure(QStringLiteral("%1 is not written in %2: %3. Choose the code page it "
                                          "was written in for the project.")
                               .arg(shown(file), page.title(), where));
}

// The first byte the code page does not have; -1 when all fit.
qsizetype firstMisfit(const QByteArray& bytes, const TextCodePage& page)
{
    if (isUtf8(page)) {
        // Line by line: a line feed never occurs inside a UTF-8 sequence.
        qsizetype start = 0;
        while (start < bytes.size()) {
            qsizetype end = bytes.indexOf('\n', start);
            end = end < 0 ? bytes.size() : end + 1;
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString line = utf8.decode(QByteArrayView(bytes).sliced(start, end - start));
            if (utf8.hasError())
                return start;
            start = end;
        }
        return -1;
    }
    const QByteArray name = page.name().toLatin1();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (uchar(bytes[i]) < 0x80)
            continue;
        QStringDecoder one(name.constData(), QStringDecoder::Flag::Stateless);
        const QString c = one.decode(QByteArrayView(bytes).sliced(i, 1));
        if (one.hasError() || hasHole(c))
            return i;
    }
    return -1;
}

// A character the code page lacks as one byte, as the letter and combining marks it has
// (Vietnamese letters in Windows-1258); empty when there are none.
QByteArray asLetterAndMarks(const QString& character, const QByteArray& name)
{
    const QString parts = character.normalized(QString::NormalizationForm_D);
    if (parts.size() < 2)
        return {};
    QList<QString> tries{parts};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QString tried = (parts.first(1) + parts[i]).normalized(QString::NormalizationForm_C);
        tried += QStringView(parts).sliced(1, i - 1);
        tried += QStringView(parts).sliced(i + 1);
        tries << tried;
    }
    for (const QString& tried : tries) {
        QStringEncoder encoder(name.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray bytes = encoder.encode(tried);
        if (!encoder.hasError())
            return bytes;
    }
    return {};
}

std::mutex& pageLock()
{
    static std::mutex lock;
    return lock;
}

TextCodePage& currentPage()
{
    static TextCodePage page;
    return page;
}

} // namespace

std::optional<TextCodePage> TextCodePage::named(QStringView name)
{
    QString key = name.trimmed().toString().toLower();
    key.remove(QLatin1Char('-'));
    key.remove(QLatin1Char('_'));
    if (key == QLatin1String("utf8"))
        return utf8();
    for (const char* prefix : {"windows", "win", "cp"}) {
        if (key.startsWith(QLatin1String(prefix))) {
            key.remove(0, qsizetype(qstrlen(prefix)));
            break;
        }
    }
    for (const Known& page : Pages) {
        const QLatin1StringView known(page.name);
        if (known.startsWith(QLatin1String("windows-")) && known.mid(8) == key)
            return TextCodePage(QString(known));
    }
    return std::nullopt;
}

TextCodePage TextCodePage::utf8()
{
    return TextCodePage(QStringLiteral("UTF-8"));
}

QList<TextCodePage> TextCodePage::choices()
{
    QList<TextCodePage> all;
    for (const Known& page : Pages)
        all << TextCodePage(QLatin1String(page.name));
    return all;
}

QString TextCodePage::optionNames()
{
    QStringList names;
    for (const Known& page : Pages) {
        const QLatin1StringView name(page.name);
        names << (name.startsWith(QLatin1String("windows-")) ? QStringLiteral("cp") + name.mid(8)
                                                             : QStringLiteral("utf-8"));
    }
    return names.join(QStringLiteral(", "));
}

QString TextCodePage::title() const
{
    if (m_name.isEmpty())
        return QStringLiteral("UTF-8 or else Windows-1252");
    if (isUtf8(*this))
        return m_name;
    for (const Known& page : Pages) {
        if (m_name == QLatin1String(page.name))
            return QStringLiteral("%1 (Windows-%2)")
                .arg(QLatin1String(page.script), m_name.sliced(8));
    }
    return m_name;
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

Result<QString> decodeText(const QByteArray& bytes, const TextCodePage& page,
                           const QString& file)
{
    if (!page.isChosen())
        return decodeLegacyText(bytes);
    QString text;
    bool refused = false;
    if (isUtf8(page)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        refused = utf8.hasError();
    } else {
        QStringDecoder decoder(page.name().toLatin1().constData(),
                               QStringDecoder::Flag::Stateless);
        text = decoder.decode(bytes);
        refused = decoder.hasError() || hasHole(text);
    }
    if (refused)
        return refusedBytes(bytes, firstMisfit(bytes, page), page, file);
    return text;
}

Result<QByteArray> encodeFromUtf8(const QByteArray& utf8, const TextCodePage& page,
                                  const QString& file)
{
    if (!page.isChosen() || isUtf8(page))
        return utf8;
    const QByteArray name = page.name().toLatin1();
    const QString text = QString::fromUtf8(utf8);
    QStringEncoder encoder(name.constData(), QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError() && !hasHole(text))
        return bytes;

    // Character by character, to write what has another form and name what cannot be written.
    bytes.clear();
    qsizetype line = 1;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype size = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.sliced(i, size);
        i += size;
        if (character == QLatin1String("\n"))
            ++line;
        QStringEncoder one(name.constData(), QStringEncoder::Flag::Stateless);
        QByteArray written = one.encode(character);
        if (one.hasError() || hasHole(character))
            written = hasHole(character) ? QByteArray() : asLetterAndMarks(character, name);
        if (written.isEmpty())
            return Status::failure(
                QStringLiteral("Cannot write %1: line %2 holds \"%3\" (U+%4), which %5 does not "
                               "have. Choose a code page that has it for the project, or "
                               "UTF-8.")
                    .arg(QDir::toNativeSeparators(file))
                    .arg(line)
                    .arg(character)
                    .arg(character.toUcs4().value(0), 4, 16, QLatin1Char('0'))
                    .arg(page.title()));
        bytes += written;
    }
    return bytes;
}

TextCodePage legacyCodePage()
{
    const std::lock_guard locked(pageLock());
    return currentPage();
}

void setLegacyCodePage(const TextCodePage& page)
{
    const std::lock_guard locked(pageLock());
    currentPage() = page;
}

} // namespace vm
