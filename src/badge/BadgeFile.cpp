#include "badge/BadgeFile.h"

#include "common/FileNames.h"
#include "common/LegacyNumbers.h"
#include "common/QuotedLines.h"
#include "common/SaveFile.h"

#include <QDir>
#include <QImageReader>

namespace vm {
namespace {

// Keys as written. Readers take values at a fixed position (the key's length plus one).
const QString KeyProjectName = QStringLiteral("ProjectName:");
const QString KeyDatabasePath = QStringLiteral("DatabasePath=");
const QString KeyOrientation = QStringLiteral("Orientation:");
const QString KeyTotalComments = QStringLiteral("TotalComments:");
const QString KeyComment = QStringLiteral("Comment:");
const QString KeyCaption = QStringLiteral("Caption:");
const QString KeyTotalFields = QStringLiteral("TotalFields:");
const QString KeyField = QStringLiteral("Field:");
const QString KeyFieldName = QStringLiteral("FieldName:");
const QString KeyTotalLogo = QStringLiteral("TotalLogo:");
const QString KeyLogo = QStringLiteral("Logo:");
const QString KeyLogoPath = QStringLiteral("logopath:");
const QString KeyTotalShape = QStringLiteral("TotalShape:");
const QString KeyType = QStringLiteral("Type:");
const QString KeyLeft = QStringLiteral("left:");
const QString KeyTop = QStringLiteral("top:");
const QString KeyWidth = QStringLiteral("width:");
const QString KeyHeight = QStringLiteral("height:");
const QString KeyFontName = QStringLiteral("fontname:");
const QString KeyFontSize = QStringLiteral("fontsize:");
const QString KeyFontColor = QStringLiteral("fontcolor:");
const QString KeyBold = QStringLiteral("bold:");
const QString KeyItalic = QStringLiteral("italic:");
const QString KeyUnderline = QStringLiteral("underline:");
const QString KeyTextBackStyle = QStringLiteral("backstyle:");
const QString KeyTextBackColor = QStringLiteral("backcolor:");
const QString KeyBorderWidth = QStringLiteral("BorderWidth:");
const QString KeyBorderColor = QStringLiteral("BorderColor:");
const QString KeyShapeBackStyle = QStringLiteral("BackStyle:");
const QString KeyShapeBackColor = QStringLiteral("BackColor:");
const QString KeyPhoto = QStringLiteral("Photo:");
const QString KeySign = QStringLiteral("Sign:");

const QString ScratchNames[] = {QStringLiteral("general.tmp"), QStringLiteral("front.tmp"),
                                QStringLiteral("back.tmp")};

// ---- writing ----

QString storable(QString text)
{
    text.replace(QLatin1Char('"'), QChar(0x201D));
    return text;
}

// A key and its value as one line, made with one allocation: the writer makes every line of a
// badge file, and most are a key and a number.
QString line(const QString& key, QLatin1StringView value)
{
    QString text;
    text.reserve(key.size() + value.size());
    text.append(key).append(value);
    return text;
}

QString line(const QString& key, const QString& value)
{
    QString text;
    text.reserve(key.size() + value.size());
    text.append(key).append(value);
    return text;
}

QString line(const QString& key, qint64 value)
{
    return line(key, decimalText(value).view());
}

QString twipsLine(const QString& key, float value)
{
    return line(key, shortestDecimalText(value).view());
}

QLatin1StringView flag(bool value)
{
    return value ? QLatin1StringView("True") : QLatin1StringView("False");
}

void appendGeometry(QStringList& lines, const ElementGeometry& element)
{
    lines << twipsLine(KeyLeft, element.Left) << twipsLine(KeyTop, element.Top)
          << twipsLine(KeyWidth, element.Width) << twipsLine(KeyHeight, element.Height);
}

// The twelve lines a comment and a field share after their text line.
void appendTextProperties(QStringList& lines, const Comment& text)
{
    appendGeometry(lines, text);
    lines << line(KeyFontName, storable(text.FontName)) << twipsLine(KeyFontSize, text.FontSize)
          << line(KeyFontColor, text.ForeColor) << line(KeyBold, flag(text.FontBold))
          << line(KeyItalic, flag(text.FontItalic)) << line(KeyUnderline, flag(text.FontUnderline))
          << line(KeyTextBackStyle, text.BackStyle) << line(KeyTextBackColor, text.BackColor);
}

void appendFrame(QStringList& lines, const QString& key, const PictureFrame& frame)
{
    lines << line(key, qint64(frame.Visible ? 1 : 0));
    appendGeometry(lines, frame);
}

// ---- reading ----

// The text after the first occurrence of the character; the whole text when there is none.
QStringView after(const QString& line, QChar c)
{
    return QStringView(line).sliced(line.indexOf(c) + 1);
}

// The text from a position counted from 1.
QStringView from(const QString& line, qsizetype position)
{
    return position - 1 <= line.size() ? QStringView(line).sliced(position - 1) : QStringView();
}

QStringView withoutLastChar(QStringView text)
{
    return text.isEmpty() ? text : text.chopped(1);
}

float twipsAt(const QString& line, qsizetype position)
{
    return leadingFloat(from(line, position));
}

qint16 codeAt(const QString& line, qsizetype position)
{
    return roundToInt16(leadingNumber(from(line, position)));
}

qint32 colorAt(const QString& line, qsizetype position)
{
    return roundToInt32(leadingNumber(from(line, position)));
}

bool flagAt(const QString& line, qsizetype position)
{
    const QStringView value = from(line, position).trimmed();
    return value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
           leadingNumber(value) != 0;
}

int totalOf(const QString& line)
{
    return roundToInt32(leadingNumber(after(line, QLatin1Char(':'))));
}

void readGeometry(const QString* lines, ElementGeometry& element)
{
    element.Left = twipsAt(lines[0], 6);
    element.Top = twipsAt(lines[1], 5);
    element.Width = twipsAt(lines[2], 7);
    element.Height = twipsAt(lines[3], 8);
}

// The twelve lines from "left:" to "backcolor:".
void readTextProperties(const QString* lines, Comment& text)
{
    readGeometry(lines, text);
    text.FontName = from(lines[4], 10).toString();
    text.FontSize = twipsAt(lines[5], 10);
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
    SideReader(const QStringList& lines, qsizetype first, FieldTagRule tagRule)
        : m_lines(lines)
        , m_tagRule(tagRule)
        , m_next(first)
    {
    }

    // From the line after the side's marker (for the front, after the general section).
    void read(BadgeSideId which, BadgeSide& side)
    {
        const QString* line = next();
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
    bool atEnd() const { return m_next >= m_lines.size(); }

    const QString* next() { return atEnd() ? nullptr : &m_lines[m_next++]; }

    // The next n lines, or nullptr when the file ends before them.
    const QString* block(qsizetype n)
    {
        if (m_lines.size() - m_next < n) {
            m_next = m_lines.size();
            return nullptr;
        }
        const QString* first = m_lines.constData() + m_next;
        m_next += n;
        return first;
    }

    void cutOff(QString part)
    {
        m_endedEarly = true;
        m_endedIn = std::move(part);
    }

    // Everything from the comment total onwards; the total's line has been read.
    void readElements(const QString& totalLine, BadgeSide& side)
    {
        for (int i = 0, n = totalOf(totalLine); i < n; ++i) {
            const QString* lines = block(14);
            if (!lines)
                return cutOff(nth("comment", i, n));
            Comment& comment = side.Label1.at(side.Label1.add());
            comment.Caption = from(lines[1], 9).toString();
            readTextProperties(lines + 2, comment);
        }
        const QString* total = block(1);
        if (!total)
            return cutOff(totalPart("field"));
        for (int i = 0, n = totalOf(*total); i < n; ++i) {
            const QString* lines = block(14);
            if (!lines)
                return cutOff(nth("field", i, n));
            Field& field = side.lblField.at(side.lblField.add());
            field.Caption = from(lines[1], 11).toString();
            field.Tag = withoutLastChar(m_tagRule == FieldTagRule::ColumnOnly
                                            ? after(lines[1], QLatin1Char('.'))
                                            : from(lines[1], 12))
                            .toString();
            readTextProperties(lines + 2, field);
        }
        if (!(total = block(1)))
            return cutOff(totalPart("logo"));
        for (int i = 0, n = totalOf(*total); i < n; ++i) {
            const QString* lines = block(6);
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
            const QString* lines = block(9);
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
        const QString* lines = block(5);
        if (!lines)
            return false;
        readGeometry(lines + 1, frame);
        frame.Visible = leadingNumber(after(lines[0], QLatin1Char(':'))) == 1;
        return true;
    }

    const QStringList& m_lines;
    FieldTagRule m_tagRule;
    qsizetype m_next;
    bool m_endedEarly = false;
    QString m_endedIn;
};

// The line after the first back marker that follows the general section; the end when none.
qsizetype backSideStart(const QStringList& lines)
{
    for (qsizetype i = 3; i < lines.size(); ++i) {
        if (lines[i].contains(BackMarkerPart))
            return i + 1;
    }
    return lines.size();
}

// The project and database checks and the orientation; false when the sides are not to be read.
bool readGeneralSection(const QStringList& lines, const QString& projectName,
                        const QString& databasePath, BadgeLayoutRead& result)
{
    // Compared as written: a double quote in a name is stored as the typographic one.
    if (lines.isEmpty() || after(lines[0], QLatin1Char(':')) != storable(projectName)) {
        result.status = LoadStatus::WrongProject;
        result.errorText = BadgeNotLoadedMessage;
        return false;
    }
    if (lines.size() < 2 || after(lines[1], QLatin1Char('=')) != storable(databasePath)) {
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
BadgeLayoutRead readSides(const QStringList& lines, std::initializer_list<BadgeSideId> sides,
                          const QString& projectName, const QString& databasePath,
                          FieldTagRule tagRule)
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

Result<QStringList> badgeFileLinesOf(const QString& badgePath)
{
    const Result<QByteArray> bytes = readWholeFile(resolveFileName(badgePath));
    if (!bytes)
        return bytes.status();
    return decodeQuotedLines(*bytes);
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
Result<QStringList> readScratchLines(const QString& badgeDir, ScratchFile which)
{
    const QString path = scratchFilePath(badgeDir, which);
    const Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    QStringList lines = decodeQuotedLines(*bytes);
    if (lines.isEmpty())
        return Status::failure(QStringLiteral("Cannot assemble the badge: %1 is empty")
                                   .arg(QDir::toNativeSeparators(path)));
    return lines;
}

} // namespace

QStringList generalSectionLines(const QString& projectName, const QString& databasePath,
                                qint16 orientation)
{
    return {KeyProjectName + storable(projectName), KeyDatabasePath + storable(databasePath),
            KeyOrientation + QString::number(orientation)};
}

QStringList sideSectionLines(const BadgeSide& side, BadgeSideId which, bool blank)
{
    QStringList lines{which == BadgeSideId::Front ? FrontMarker : BackMarker};
    if (blank)
        return lines;
    lines.reserve(1 + 4 + 14 * (side.Label1.count() + side.lblField.count()) +
                  6 * side.Image1.count() + 9 * side.myShape1.count() + 10);
    lines << line(KeyTotalComments, side.Label1.count());
    for (const auto& [index, comment] : side.Label1) {
        lines << line(KeyComment, index) << line(KeyCaption, storable(comment.Caption));
        appendTextProperties(lines, comment);
    }
    lines << line(KeyTotalFields, side.lblField.count());
    for (const auto& [index, field] : side.lblField) {
        lines << line(KeyField, index) << line(KeyFieldName, storable(field.Caption));
        appendTextProperties(lines, field);
    }
    lines << line(KeyTotalLogo, side.Image1.count());
    for (const auto& [index, logo] : side.Image1) {
        lines << line(KeyLogo, index) << line(KeyLogoPath, storable(logo.Tag));
        appendGeometry(lines, logo);
    }
    lines << line(KeyTotalShape, side.myShape1.count());
    for (const auto& entry : side.myShape1) {
        const Shape& shape = entry.second;
        lines << line(KeyType, shape.ShpType);
        appendGeometry(lines, shape);
        lines << line(KeyBorderWidth, shape.BorderWidth) << line(KeyBorderColor, shape.BorderColor)
              << line(KeyShapeBackStyle, shape.BackStyle)
              << line(KeyShapeBackColor, shape.BackColor);
    }
    appendFrame(lines, KeyPhoto, side.imgPhoto);
    appendFrame(lines, KeySign, side.imgSign);
    return lines;
}

QStringList badgeFileLines(const BadgeLayout& layout, bool blankBack)
{
    QStringList lines =
        generalSectionLines(layout.projectName, layout.databasePath, layout.orientation);
    lines << sideSectionLines(layout.front, BadgeSideId::Front, false)
          << sideSectionLines(layout.back, BadgeSideId::Back, blankBack);
    lines << lines.last();
    return lines;
}

Status writeBadgeFile(const QString& path, const BadgeLayout& layout, bool blankBack)
{
    return saveFileAtomically(path, encodeQuotedLines(badgeFileLines(layout, blankBack)));
}

QString scratchFilePath(const QString& badgeDir, ScratchFile which)
{
    return resolveFileName(withTrailingSlash(badgeDir) + scratchName(which));
}

Status writeScratchFile(const QString& badgeDir, ScratchFile which, const QStringList& lines)
{
    return saveFileAtomically(scratchFilePath(badgeDir, which), encodeQuotedLines(lines));
}

Status saveDisplayedSide(const QString& badgeDir, BadgeSideId displayed, const BadgeSide& side,
                         bool otherSideStored)
{
    if (displayed == BadgeSideId::Front) {
        if (Status s = writeScratchFile(badgeDir, ScratchFile::Front,
                                        sideSectionLines(side, BadgeSideId::Front, false));
            !s)
            return s;
        if (!otherSideStored)
            return writeScratchFile(badgeDir, ScratchFile::Back,
                                    sideSectionLines(BadgeSide(), BadgeSideId::Back, true));
        return {};
    }
    if (!otherSideStored) {
        if (Status s = writeScratchFile(badgeDir, ScratchFile::Front,
                                        sideSectionLines(BadgeSide(), BadgeSideId::Front, false));
            !s)
            return s;
    }
    return writeScratchFile(badgeDir, ScratchFile::Back,
                            sideSectionLines(side, BadgeSideId::Back, false));
}

Status assembleBadgeFile(const QString& badgeDir, const QString& badgePath)
{
    QStringList lines;
    for (ScratchFile which : {ScratchFile::General, ScratchFile::Front, ScratchFile::Back}) {
        const Result<QStringList> part = readScratchLines(badgeDir, which);
        if (!part)
            return part.status();
        lines << *part;
    }
    lines << lines.last();
    return saveFileAtomically(badgePath, encodeQuotedLines(lines));
}

SplitBadge splitBadgeLines(const QStringList& lines)
{
    SplitBadge split;
    qsizetype next = 1; // the project line is dropped
    const qsizetype n = lines.size();
    auto atEnd = [&] {
        return next >= n;
    };

    QString current;
    while (!atEnd()) {
        current = lines[next++];
        split.general << current;
        if (current.contains(FrontMarkerPart))
            break;
    }
    if (split.general.isEmpty())
        return split;

    bool backReached = false;
    split.front << current;
    while (!atEnd()) {
        current = lines[next++];
        if (current.contains(BackMarkerPart) || atEnd()) {
            backReached = true;
            break;
        }
        split.front << current;
    }
    if (!backReached)
        return split;

    split.back << current;
    while (!atEnd()) {
        current = lines[next++];
        if (atEnd())
            break; // the duplicate last line
        split.back << current;
    }
    return split;
}

Status splitBadgeFile(const QString& badgePath, const QString& badgeDir)
{
    const Result<QByteArray> bytes = readWholeFile(resolveFileName(badgePath));
    if (!bytes)
        return bytes.status();
    const SplitBadge split = splitBadgeLines(decodeQuotedLines(*bytes));
    if (Status s = writeScratchFile(badgeDir, ScratchFile::General, split.general); !s)
        return s;
    if (Status s = writeScratchFile(badgeDir, ScratchFile::Front, split.front); !s)
        return s;
    return writeScratchFile(badgeDir, ScratchFile::Back, split.back);
}

Status clearSideScratchFiles(const QString& badgeDir)
{
    if (Status s = writeScratchFile(badgeDir, ScratchFile::Front, {}); !s)
        return s;
    return writeScratchFile(badgeDir, ScratchFile::Back, {});
}

BadgeLayoutRead readBadgeLayout(const QStringList& lines, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule)
{
    return readSides(lines, {BadgeSideId::Front, BadgeSideId::Back}, projectName, databasePath,
                     tagRule);
}

BadgeLayoutRead loadBadgeLayout(const QString& badgePath, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule)
{
    const QString file = resolveFileName(badgePath);
    const Result<QStringList> lines = badgeFileLinesOf(file);
    BadgeLayoutRead result = lines ? readBadgeLayout(*lines, projectName, databasePath, tagRule)
                                   : cannotOpen(lines.status());
    result.file = file;
    if (!lines)
        return result;
    result.missingLogos = loadLogoPictures(result.front);
    result.missingLogos << loadLogoPictures(result.back);
    return result;
}

SideReadResult readBadgeSide(const QStringList& lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    return oneSide(readSides(lines, {which}, projectName, databasePath, tagRule), which);
}

SideReadResult loadBadgeSide(const QString& badgePath, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    const Result<QStringList> lines = badgeFileLinesOf(badgePath);
    if (!lines)
        return oneSide(cannotOpen(lines.status()), which);
    SideReadResult result = readBadgeSide(*lines, which, projectName, databasePath, tagRule);
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
        QImageReader reader(resolveFileName(logo.Tag));
        reader.setAutoTransform(true);
        logo.Picture = reader.read();
        if (logo.Picture.isNull())
            missing << logo.Tag;
    }
    return missing;
}

} // namespace vm
