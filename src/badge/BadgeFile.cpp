#include "badge/BadgeFile.h"

#include "badge/BadgeCompanion.h"
#include "common/DatabaseAddress.h"
#include "common/FileNames.h"
#include "common/LegacyNumbers.h"
#include "common/PictureFiles.h"
#include "common/QuotedLines.h"
#include "common/SaveFile.h"

#include <QDir>

namespace vm {
namespace {

// Keys as written. Readers take values at a fixed position (the key's length plus one).
constexpr QLatin1StringView KeyProjectName("ProjectName:");
constexpr QLatin1StringView KeyDatabasePath("DatabasePath=");
constexpr QLatin1StringView KeyOrientation("Orientation:");
constexpr QLatin1StringView KeyTotalComments("TotalComments:");
constexpr QLatin1StringView KeyComment("Comment:");
constexpr QLatin1StringView KeyCaption("Caption:");
constexpr QLatin1StringView KeyTotalFields("TotalFields:");
constexpr QLatin1StringView KeyField("Field:");
constexpr QLatin1StringView KeyFieldName("FieldName:");
constexpr QLatin1StringView KeyTotalLogo("TotalLogo:");
constexpr QLatin1StringView KeyLogo("Logo:");
constexpr QLatin1StringView KeyLogoPath("logopath:");
constexpr QLatin1StringView KeyTotalShape("TotalShape:");
constexpr QLatin1StringView KeyType("Type:");
constexpr QLatin1StringView KeyLeft("left:");
constexpr QLatin1StringView KeyTop("top:");
constexpr QLatin1StringView KeyWidth("width:");
constexpr QLatin1StringView KeyHeight("height:");
constexpr QLatin1StringView KeyFontName("fontname:");
constexpr QLatin1StringView KeyFontSize("fontsize:");
constexpr QLatin1StringView KeyFontColor("fontcolor:");
constexpr QLatin1StringView KeyBold("bold:");
constexpr QLatin1StringView KeyItalic("italic:");
constexpr QLatin1StringView KeyUnderline("underline:");
constexpr QLatin1StringView KeyTextBackStyle("backstyle:");
constexpr QLatin1StringView KeyTextBackColor("backcolor:");
constexpr QLatin1StringView KeyBorderWidth("BorderWidth:");
constexpr QLatin1StringView KeyBorderColor("BorderColor:");
constexpr QLatin1StringView KeyShapeBackStyle("BackStyle:");
constexpr QLatin1StringView KeyShapeBackColor("BackColor:");
constexpr QLatin1StringView KeyPhoto("Photo:");
constexpr QLatin1StringView KeySign("Sign:");

const QString ScratchNames[] = {QStringLiteral("general.tmp"), QStringLiteral("front.tmp"),
                                QStringLiteral("back.tmp")};

// ---- writing ----
// One walk over a layout writes both the line lists and the encoded files (QuotedLinesBuilder),
// so the two cannot differ.

// A value holding a marker of the file would be read as one: the back side would start inside
// a caption. The space in such a marker is written as a no-break space, which prints the same.
QString withoutMarkers(QString text)
{
    for (const QString& marker : {FrontMarkerPart, BackMarkerPart}) {
        QString harmless = marker;
        harmless.replace(QLatin1Char(' '), QChar(0x00A0));
        // Overlapping markers ("====BACK SIDE====BACK SIDE====") need more than one pass.
        while (text.contains(marker))
            text.replace(marker, harmless);
    }
    return text;
}

QString storable(QString text)
{
    text.replace(QLatin1Char('"'), QChar(0x201D));
    return withoutMarkers(std::move(text));
}

QLatin1StringView flag(bool value)
{
    return value ? QLatin1StringView("True") : QLatin1StringView("False");
}

// Collects the lines as texts.
class LineList {
public:
    explicit LineList(QStringList& lines)
        : m_lines(lines)
    {
    }

    void add(const QString& text) { m_lines.append(text); }

    // One allocation a line: most lines are a key and a number.
    template <class Value> void add(QLatin1StringView key, const Value& value)
    {
        QString text;
        text.reserve(key.size() + value.size());
        text.append(key).append(value);
        m_lines.append(std::move(text));
    }

    void repeatLastLine() { m_lines.append(m_lines.constLast()); }

private:
    QStringList& m_lines;
};

template <class Out> void addNumber(Out& out, QLatin1StringView key, qint64 value)
{
    out.add(key, decimalText(value).view());
}

template <class Out> void addTwips(Out& out, QLatin1StringView key, float value)
{
    out.add(key, shortestDecimalText(value).view());
}

template <class Out> void writeGeometry(Out& out, const ElementGeometry& element)
{
    addTwips(out, KeyLeft, element.Left);
    addTwips(out, KeyTop, element.Top);
    addTwips(out, KeyWidth, element.Width);
    addTwips(out, KeyHeight, element.Height);
}

// The twelve lines a comment and a field share after their text line.
template <class Out> void writeTextProperties(Out& out, const Comment& text)
{
    writeGeometry(out, text);
    out.add(KeyFontName, storable(text.FontName));
    addTwips(out, KeyFontSize, text.FontSize);
    addNumber(out, KeyFontColor, text.ForeColor);
    out.add(KeyBold, flag(text.FontBold));
    out.add(KeyItalic, flag(text.FontItalic));
    out.add(KeyUnderline, flag(text.FontUnderline));
    addNumber(out, KeyTextBackStyle, text.BackStyle);
    addNumber(out, KeyTextBackColor, text.BackColor);
}

template <class Out> void writeFrame(Out& out, QLatin1StringView key, const PictureFrame& frame)
{
    addNumber(out, key, frame.Visible ? 1 : 0);
    writeGeometry(out, frame);
}

template <class Out>
void writeGeneral(Out& out, const QString& projectName, const QString& databasePath,
                  qint16 orientation)
{
    out.add(KeyProjectName, storable(projectName));
    out.add(KeyDatabasePath, storable(WithoutPassword(databasePath)));
    addNumber(out, KeyOrientation, orientation);
}

template <class Out> void writeSide(Out& out, const BadgeSide& side, BadgeSideId which, bool blank)
{
    out.add(which == BadgeSideId::Front ? FrontMarker : BackMarker);
    if (blank)
        return;
    addNumber(out, KeyTotalComments, side.Label1.count());
    for (const auto& [index, comment] : side.Label1) {
        addNumber(out, KeyComment, index);
        out.add(KeyCaption, storable(comment.Caption));
        writeTextProperties(out, comment);
    }
    addNumber(out, KeyTotalFields, side.lblField.count());
    for (const auto& [index, field] : side.lblField) {
        addNumber(out, KeyField, index);
        out.add(KeyFieldName, storable(field.Caption));
        writeTextProperties(out, field);
    }
    addNumber(out, KeyTotalLogo, side.Image1.count());
    for (const auto& [index, logo] : side.Image1) {
        addNumber(out, KeyLogo, index);
        out.add(KeyLogoPath, storable(logo.Tag));
        writeGeometry(out, logo);
    }
    addNumber(out, KeyTotalShape, side.myShape1.count());
    for (const auto& entry : side.myShape1) {
        const Shape& shape = entry.second;
        addNumber(out, KeyType, shape.ShpType);
        writeGeometry(out, shape);
        addNumber(out, KeyBorderWidth, shape.BorderWidth);
        addNumber(out, KeyBorderColor, shape.BorderColor);
        addNumber(out, KeyShapeBackStyle, shape.BackStyle);
        addNumber(out, KeyShapeBackColor, shape.BackColor);
    }
    writeFrame(out, KeyPhoto, side.imgPhoto);
    writeFrame(out, KeySign, side.imgSign);
}

template <class Out> void writeBadge(Out& out, const BadgeLayout& layout, bool blankBack)
{
    writeGeneral(out, layout.projectName, layout.databasePath, layout.orientation);
    writeSide(out, layout.front, BadgeSideId::Front, false);
    writeSide(out, layout.back, BadgeSideId::Back, blankBack);
    out.repeatLastLine();
}

qsizetype sideLineCount(const BadgeSide& side, bool blank)
{
    if (blank)
        return 1;
    return 1 + 4 + 14 * (side.Label1.count() + side.lblField.count()) + 6 * side.Image1.count() +
           9 * side.myShape1.count() + 10;
}

// Most lines are a short key and a number; longer texts make the buffer grow once or twice.
constexpr qsizetype BytesPerLine = 24;

// ---- reading ----

// The text after the first occurrence of the character; the whole text when there is none.
QStringView after(QStringView line, QChar c)
{
    return line.sliced(line.indexOf(c) + 1);
}

// The text from a position counted from 1.
QStringView from(QStringView line, qsizetype position)
{
    return position - 1 <= line.size() ? line.sliced(position - 1) : QStringView();
}

QStringView withoutLastChar(QStringView text)
{
    return text.isEmpty() ? text : text.chopped(1);
}

float twipsAt(QStringView line, qsizetype position)
{
    return leadingFloat(from(line, position));
}

qint16 codeAt(QStringView line, qsizetype position)
{
    return roundToInt16(leadingNumber(from(line, position)));
}

qint32 colorAt(QStringView line, qsizetype position)
{
    return roundToInt32(leadingNumber(from(line, position)));
}

bool flagAt(QStringView line, qsizetype position)
{
    const QStringView value = from(line, position).trimmed();
    return value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
           leadingNumber(value) != 0;
}

int totalOf(QStringView line)
{
    return roundToInt32(leadingNumber(after(line, QLatin1Char(':'))));
}

void readGeometry(const QStringView* lines, ElementGeometry& element)
{
    element.Left = twipsAt(lines[0], 6);
    element.Top = twipsAt(lines[1], 5);
    element.Width = twipsAt(lines[2], 7);
    element.Height = twipsAt(lines[3], 8);
    clampGeometry(element);
}

// Elements mostly share one font, often the template's: they share its text too.
void readFontName(QStringView value, QString& fontName, QString& lastFontName)
{
    if (fontName == value)
        return;
    if (lastFontName != value)
        lastFontName = value.toString();
    fontName = lastFontName;
}

// The twelve lines from "left:" to "backcolor:".
void readTextProperties(const QStringView* lines, Comment& text, QString& lastFontName)
{
    readGeometry(lines, text);
    readFontName(from(lines[4], 10), text.FontName, lastFontName);
    text.FontSize = std::clamp(twipsAt(lines[5], 10), 0.f, LargestFontSize);
    text.ForeColor = colorAt(lines[6], 11);
    text.FontBold = flagAt(lines[7], 6);
    text.FontItalic = flagAt(lines[8], 8);
    text.FontUnderline = flagAt(lines[9], 11);
    text.BackStyle = codeAt(lines[10], 11);
    text.BackColor = colorAt(lines[11], 11);
    text.BorderStyle = 0;
    text.Visible = true;
}

QString nth(const char* kind, int i, int n)
{
    return QStringLiteral("%1 %2 of %3").arg(QLatin1String(kind)).arg(i + 1).arg(n);
}

QString totalPart(const char* kind)
{
    return QStringLiteral("the %1 total").arg(QLatin1String(kind));
}

// Walks the lines of one side. An element is built only from a whole block: a file that ends
// inside a block keeps the elements before it and names the part that was cut off.
class SideReader {
public:
    SideReader(std::span<const QStringView> lines, qsizetype first, FieldTagRule tagRule)
        : m_lines(lines)
        , m_tagRule(tagRule)
        , m_next(first)
    {
    }

    // From the line after the side's marker (for the front, after the general section).
    void read(BadgeSideId which, BadgeSide& side)
    {
        const QStringView* line = next();
        if (!line)
            return cutOff({});
        if (atEnd())
            return; // a blank side at the end of the file
        if (line->contains(FrontMarkerPart) && !(line = next()))
            return cutOff(totalPart("comment"));
        // Older files could hold a blank front, which would read the back as front data.
        if (which == BadgeSideId::Front && line->contains(BackMarkerPart))
            return;
        readElements(*line, side);
    }

    bool endedEarly() const { return m_endedEarly; }
    // The part that was cut off; empty when nothing of the side was there.
    const QString& endedIn() const { return m_endedIn; }

private:
    qsizetype size() const { return qsizetype(m_lines.size()); }
    bool atEnd() const { return m_next >= size(); }

    const QStringView* next() { return atEnd() ? nullptr : &m_lines[m_next++]; }

    // The next n lines, or nullptr when the file ends before them.
    const QStringView* block(qsizetype n)
    {
        if (size() - m_next < n) {
            m_next = size();
            return nullptr;
        }
        const QStringView* first = m_lines.data() + m_next;
        m_next += n;
        return first;
    }

    void cutOff(QString part)
    {
        m_endedEarly = true;
        m_endedIn = std::move(part);
    }

    // Everything from the comment total onwards; the total's line has been read.
    void readElements(QStringView totalLine, BadgeSide& side)
    {
        for (int i = 0, n = totalOf(totalLine); i < n; ++i) {
            const QStringView* lines = block(14);
            if (!lines)
                return cutOff(nth("comment", i, n));
            Comment& comment = side.Label1.at(side.Label1.add());
            comment.Caption = from(lines[1], 9).toString();
            readTextProperties(lines + 2, comment, m_fontName);
        }
        const QStringView* total = block(1);
        if (!total)
            return cutOff(totalPart("field"));
        for (int i = 0, n = totalOf(*total); i < n; ++i) {
            const QStringView* lines = block(14);
            if (!lines)
                return cutOff(nth("field", i, n));
            Field& field = side.lblField.at(side.lblField.add());
            field.Caption = from(lines[1], 11).toString();
            field.Tag = withoutLastChar(m_tagRule == FieldTagRule::ColumnOnly
                                            ? after(lines[1], QLatin1Char('.'))
                                            : from(lines[1], 12))
                            .toString();
            readTextProperties(lines + 2, field, m_fontName);
        }
        if (!(total = block(1)))
            return cutOff(totalPart("logo"));
        for (int i = 0, n = totalOf(*total); i < n; ++i) {
            const QStringView* lines = block(6);
            if (!lines)
                return cutOff(nth("logo", i, n));
            Logo& logo = side.Image1.at(side.Image1.add());
            logo.Tag = from(lines[1], 10).toString();
            readGeometry(lines + 2, logo);
            logo.Visible = true;
        }
        if (!(total = block(1)))
            return cutOff(totalPart("shape"));
        for (int i = 0, n = totalOf(*total); i < n; ++i) {
            const QStringView* lines = block(9);
            if (!lines)
                return cutOff(nth("shape", i, n));
            Shape& shape = side.myShape1.at(side.myShape1.add());
            shape.ShpType = codeAt(lines[0], 6);
            readGeometry(lines + 1, shape);
            shape.BorderWidth = codeAt(lines[5], 13);
            shape.BorderColor = colorAt(lines[6], 13);
            shape.BackStyle = codeAt(lines[7], 11);
            shape.BackColor = colorAt(lines[8], 11);
            shape.Visible = true;
        }
        if (!readFrame(side.imgPhoto))
            return cutOff(QStringLiteral("the photograph frame"));
        if (!readFrame(side.imgSign))
            return cutOff(QStringLiteral("the signature frame"));
    }

    bool readFrame(PictureFrame& frame)
    {
        const QStringView* lines = block(5);
        if (!lines)
            return false;
        readGeometry(lines + 1, frame);
        frame.Visible = leadingNumber(after(lines[0], QLatin1Char(':'))) == 1;
        return true;
    }

    std::span<const QStringView> m_lines;
    FieldTagRule m_tagRule;
    qsizetype m_next;
    bool m_endedEarly = false;
    QString m_endedIn;
    QString m_fontName; // the last font read
};

// The line after the first back marker that follows the general section; the end when none.
qsizetype backSideStart(std::span<const QStringView> lines)
{
    const qsizetype n = qsizetype(lines.size());
    for (qsizetype i = 3; i < n; ++i) {
        if (lines[i].contains(BackMarkerPart))
            return i + 1;
    }
    return n;
}

// The project and database checks and the orientation; false when the sides are not to be read.
bool readGeneralSection(std::span<const QStringView> lines, const QString& projectName,
                        const QString& databasePath, BadgeLayoutRead& result)
{
    // Compared as written: a double quote in a name is stored as the typographic one.
    if (lines.empty() || after(lines[0], QLatin1Char(':')) != storable(projectName)) {
        result.status = LoadStatus::WrongProject;
        result.errorText = BadgeNotLoadedMessage;
        return false;
    }
    // An Access file's code page, once kept after its name, does not make another database.
    if (lines.size() < 2 ||
        splitAccessPath(after(lines[1], QLatin1Char('=')).toString()).file !=
            storable(WithoutPassword(splitAccessPath(databasePath).file))) {
        result.status = LoadStatus::WrongDatabase;
        result.errorText = WrongDatabaseMessage;
        return false;
    }
    if (lines.size() < 3) {
        result.endedEarly = {{BadgeSideId::Front, {}}, {BadgeSideId::Back, {}}};
        return false;
    }
    result.orientation = roundToInt16(leadingNumber(after(lines[2], QLatin1Char(':'))));
    return true;
}

// Reads the sides asked for; the front from the general section's end, the back from its marker.
BadgeLayoutRead readSides(std::span<const QStringView> lines,
                          std::initializer_list<BadgeSideId> sides, const QString& projectName,
                          const QString& databasePath, FieldTagRule tagRule)
{
    BadgeLayoutRead result;
    if (!readGeneralSection(lines, projectName, databasePath, result))
        return result;
    for (BadgeSideId which : sides) {
        SideReader in(lines, which == BadgeSideId::Front ? 3 : backSideStart(lines), tagRule);
        in.read(which, result.side(which));
        if (in.endedEarly())
            result.endedEarly << BadgeLayoutRead::EarlyEnd{which, in.endedIn()};
    }
    return result;
}

SideReadResult oneSide(BadgeLayoutRead&& read, BadgeSideId which)
{
    SideReadResult result;
    result.status = read.status;
    result.errorText = std::move(read.errorText);
    result.orientation = read.orientation;
    result.side = std::move(read.side(which));
    for (const BadgeLayoutRead::EarlyEnd& end : read.endedEarly) {
        if (end.side == which) {
            result.endedEarly = true;
            result.endedIn = end.part;
        }
    }
    result.missingLogos = std::move(read.missingLogos);
    return result;
}

Result<DecodedLines> badgeFileLinesOf(const QString& badgePath)
{
    return readQuotedLinesFile(resolveFileName(badgePath));
}

// Views of a line list, for the readers that take views.
QList<QStringView> viewsOf(const QStringList& lines)
{
    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString& line : lines)
        views.append(line);
    return views;
}

std::span<const QStringView> spanOf(const QList<QStringView>& views)
{
    return {views.constData(), size_t(views.size())};
}

BadgeLayoutRead cannotOpen(const Status& why)
{
    BadgeLayoutRead result;
    result.status = LoadStatus::CannotOpen;
    result.errorText = why.error();
    return result;
}

QString scratchName(ScratchFile which)
{
    return ScratchNames[int(which)];
}

// Reads a scratch file for assembling; empty lines and a missing file are errors.
Result<DecodedLines> readScratchLines(const QString& badgeDir, ScratchFile which)
{
    const QString path = scratchFilePath(badgeDir, which);
    Result<DecodedLines> lines = readQuotedLinesFile(path);
    if (lines && lines->isEmpty())
        return Status::failure(QStringLiteral("Cannot assemble the badge: %1 is empty")
                                   .arg(QDir::toNativeSeparators(path)));
    return lines;
}

Status writeScratchBytes(const QString& badgeDir, ScratchFile which, const QByteArray& bytes)
{
    return saveQuotedLinesFile(scratchFilePath(badgeDir, which), bytes);
}

QByteArray encoded(std::span<const QStringView> lines)
{
    QuotedLinesBuilder out(qsizetype(lines.size()) * BytesPerLine);
    for (QStringView line : lines)
        out.add(line);
    return out.take();
}

} // namespace

QStringList generalSectionLines(const QString& projectName, const QString& databasePath,
                                qint16 orientation)
{
    QStringList lines;
    lines.reserve(3);
    LineList out(lines);
    writeGeneral(out, projectName, databasePath, orientation);
    return lines;
}

QStringList sideSectionLines(const BadgeSide& side, BadgeSideId which, bool blank)
{
    QStringList lines;
    lines.reserve(sideLineCount(side, blank));
    LineList out(lines);
    writeSide(out, side, which, blank);
    return lines;
}

QStringList badgeFileLines(const BadgeLayout& layout, bool blankBack)
{
    QStringList lines;
    lines.reserve(3 + sideLineCount(layout.front, false) + sideLineCount(layout.back, blankBack) +
                  1);
    LineList out(lines);
    writeBadge(out, layout, blankBack);
    return lines;
}

QByteArray encodedSideSection(const BadgeSide& side, BadgeSideId which, bool blank)
{
    QuotedLinesBuilder out(sideLineCount(side, blank) * BytesPerLine);
    writeSide(out, side, which, blank);
    return out.take();
}

QByteArray encodedBadgeFile(const BadgeLayout& layout, bool blankBack)
{
    QuotedLinesBuilder out(
        (4 + sideLineCount(layout.front, false) + sideLineCount(layout.back, blankBack)) *
        BytesPerLine);
    writeBadge(out, layout, blankBack);
    return out.take();
}

Status writeBadgeFile(const QString& path, const BadgeLayout& layout, bool blankBack)
{
    const Result<QByteArray> bytes = quotedLinesFileBytes(path, encodedBadgeFile(layout, blankBack));
    if (!bytes)
        return bytes.status();
    return saveFilePair(path, *bytes, badgeCompanionPath(path),
                        companionDocument(layout.front, layout.back, blankBack));
}

QString scratchFilePath(const QString& badgeDir, ScratchFile which)
{
    return resolveFileName(withTrailingSlash(badgeDir) + scratchName(which));
}

Status writeScratchFile(const QString& badgeDir, ScratchFile which, const QStringList& lines)
{
    return writeScratchBytes(badgeDir, which, encodeQuotedLines(lines));
}

Status saveDisplayedSide(const QString& badgeDir, BadgeSideId displayed, const BadgeSide& side,
                         bool otherSideStored)
{
    if (displayed == BadgeSideId::Front) {
        if (Status s = writeScratchBytes(badgeDir, ScratchFile::Front,
                                         encodedSideSection(side, BadgeSideId::Front, false));
            !s)
            return s;
        if (!otherSideStored)
            return writeScratchBytes(badgeDir, ScratchFile::Back,
                                     encodedSideSection(BadgeSide(), BadgeSideId::Back, true));
        return {};
    }
    if (!otherSideStored) {
        if (Status s =
                writeScratchBytes(badgeDir, ScratchFile::Front,
                                  encodedSideSection(BadgeSide(), BadgeSideId::Front, false));
            !s)
            return s;
    }
    return writeScratchBytes(badgeDir, ScratchFile::Back,
                             encodedSideSection(side, BadgeSideId::Back, false));
}

Status assembleBadgeFile(const QString& badgeDir, const QString& badgePath)
{
    const Result<QByteArray> bytes = assembledBadgeFile(badgeDir, badgePath);
    return bytes ? saveFileAtomically(badgePath, *bytes) : bytes.status();
}

Result<QByteArray> assembledBadgeFile(const QString& badgeDir, const QString& badgePath)
{
    DecodedLines parts[3];
    qsizetype lineCount = 0;
    for (ScratchFile which : {ScratchFile::General, ScratchFile::Front, ScratchFile::Back}) {
        Result<DecodedLines> part = readScratchLines(badgeDir, which);
        if (!part)
            return part.status();
        lineCount += part->size();
        parts[int(which)] = std::move(*part);
    }
    QuotedLinesBuilder out((lineCount + 1) * BytesPerLine);
    for (const DecodedLines& part : parts) {
        for (QStringView line : part.fields())
            out.add(line);
    }
    out.repeatLastLine();
    return quotedLinesFileBytes(badgePath, out.take());
}

BadgeParts splitBadgeLines(std::span<const QStringView> lines)
{
    // The parts follow each other, the front marker line closing the general part and opening
    // the front part.
    const qsizetype n = qsizetype(lines.size());
    if (n < 2)
        return {};
    qsizetype frontStart = 1; // the project line is dropped
    while (frontStart < n - 1 && !lines[frontStart].contains(FrontMarkerPart))
        ++frontStart;
    BadgeParts parts;
    parts.general = lines.subspan(1, frontStart);
    if (frontStart == n - 1) { // the file ends with the general part
        parts.front = lines.subspan(frontStart, 1);
        return parts;
    }
    qsizetype backStart = frontStart + 1;
    while (backStart < n - 1 && !lines[backStart].contains(BackMarkerPart))
        ++backStart;
    parts.front = lines.subspan(frontStart, backStart - frontStart);
    // The back runs to the line before the last, the duplicate, unless the last line is all
    // there is of it.
    parts.back = lines.subspan(backStart, std::max(n - 1, backStart + 1) - backStart);
    return parts;
}

SplitBadge splitBadgeLines(const QStringList& lines)
{
    const QList<QStringView> views = viewsOf(lines);
    const BadgeParts parts = splitBadgeLines(spanOf(views));
    // The parts' positions, to take the lines themselves rather than copies of the views.
    auto linesOf = [&](std::span<const QStringView> part) {
        return lines.mid(part.data() - views.constData(), qsizetype(part.size()));
    };
    SplitBadge split;
    if (!parts.general.empty())
        split.general = linesOf(parts.general);
    if (!parts.front.empty())
        split.front = linesOf(parts.front);
    if (!parts.back.empty())
        split.back = linesOf(parts.back);
    return split;
}

Status splitBadgeFile(const QString& badgePath, const QString& badgeDir)
{
    const Result<DecodedLines> lines = readQuotedLinesFile(resolveFileName(badgePath));
    if (!lines)
        return lines.status();
    return writeScratchFiles(badgeDir, splitBadgeLines(lines->fields()));
}

Status writeScratchFiles(const QString& badgeDir, const BadgeParts& parts)
{
    if (Status s = writeScratchBytes(badgeDir, ScratchFile::General, encoded(parts.general)); !s)
        return s;
    if (Status s = writeScratchBytes(badgeDir, ScratchFile::Front, encoded(parts.front)); !s)
        return s;
    return writeScratchBytes(badgeDir, ScratchFile::Back, encoded(parts.back));
}

Status clearSideScratchFiles(const QString& badgeDir)
{
    if (Status s = writeScratchBytes(badgeDir, ScratchFile::Front, {}); !s)
        return s;
    return writeScratchBytes(badgeDir, ScratchFile::Back, {});
}

BadgeLayoutRead readBadgeLayout(std::span<const QStringView> lines, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule)
{
    return readSides(lines, {BadgeSideId::Front, BadgeSideId::Back}, projectName, databasePath,
                     tagRule);
}

BadgeLayoutRead readBadgeLayout(const QStringList& lines, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule)
{
    const QList<QStringView> views = viewsOf(lines);
    return readBadgeLayout(spanOf(views), projectName, databasePath, tagRule);
}

BadgeLayoutRead loadBadgeLayout(const QString& badgePath, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule)
{
    const QString file = resolveFileName(badgePath);
    const Result<DecodedLines> lines = badgeFileLinesOf(file);
    BadgeLayoutRead result =
        lines ? readBadgeLayout(lines->fields(), projectName, databasePath, tagRule)
              : cannotOpen(lines.status());
    result.file = file;
    if (!lines)
        return result;
    result.missingLogos = loadLogoPictures(result.front);
    result.missingLogos << loadLogoPictures(result.back);
    return result;
}

SideReadResult readBadgeSide(std::span<const QStringView> lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    return oneSide(readSides(lines, {which}, projectName, databasePath, tagRule), which);
}

SideReadResult readBadgeSide(const QStringList& lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    const QList<QStringView> views = viewsOf(lines);
    return readBadgeSide(spanOf(views), which, projectName, databasePath, tagRule);
}

SideReadResult loadBadgeSide(const QString& badgePath, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    const Result<DecodedLines> lines = badgeFileLinesOf(badgePath);
    if (!lines)
        return oneSide(cannotOpen(lines.status()), which);
    SideReadResult result =
        readBadgeSide(lines->fields(), which, projectName, databasePath, tagRule);
    result.missingLogos = loadLogoPictures(result.side);
    return result;
}

QString earlyEndText(const BadgeLayoutRead& read)
{
    QStringList clauses;
    for (const auto& [side, part] : read.endedEarly) {
        const QString name =
            side == BadgeSideId::Front ? QStringLiteral("front") : QStringLiteral("back");
        clauses << (part.isEmpty()
                        ? QStringLiteral("the %1 side is missing").arg(name)
                        : QStringLiteral("the %1 side is cut off at %2").arg(name, part));
    }
    if (clauses.isEmpty())
        return {};
    const QString file =
        read.file.isEmpty() ? QString() : QLatin1Char(' ') + QDir::toNativeSeparators(read.file);
    return QStringLiteral(
               "The badge file%1 ends early: %2. Only the elements read whole are shown.")
        .arg(file, clauses.join(QStringLiteral(" and ")));
}

QStringList loadLogoPictures(BadgeSide& side)
{
    QStringList missing;
    for (auto& [index, logo] : side.Image1) {
        if (logo.Tag.isEmpty())
            continue;
        // A logo is the same on every badge and its files come from a system that ignored
        // letter case, so it may be found in other letters; a person's picture may not.
        const Result<QImage> picture = readPicture(resolveFileName(logo.Tag));
        logo.Picture = picture ? *picture : QImage();
        if (!picture)
            missing << logo.Tag;
    }
    return missing;
}

} // namespace vm
