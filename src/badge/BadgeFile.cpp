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

QString twips(float value)
{
    return shortestDecimal(value);
}

QString flag(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

void appendGeometry(QStringList& lines, const ElementGeometry& element)
{
    lines << KeyLeft + twips(element.Left) << KeyTop + twips(element.Top)
          << KeyWidth + twips(element.Width) << KeyHeight + twips(element.Height);
}

// The twelve lines a comment and a field share after their text line.
void appendTextProperties(QStringList& lines, const Comment& text)
{
    appendGeometry(lines, text);
    lines << KeyFontName + storable(text.FontName) << KeyFontSize + twips(text.FontSize)
          << KeyFontColor + QString::number(text.ForeColor) << KeyBold + flag(text.FontBold)
          << KeyItalic + flag(text.FontItalic) << KeyUnderline + flag(text.FontUnderline)
          << KeyTextBackStyle + QString::number(text.BackStyle)
          << KeyTextBackColor + QString::number(text.BackColor);
}

void appendFrame(QStringList& lines, const QString& key, const PictureFrame& frame)
{
    lines << key + (frame.Visible ? QStringLiteral("1") : QStringLiteral("0"));
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

// Walks the lines of a badge file. An element is built only from a whole block: a file that
// ends inside a block keeps the elements before it.
class SideReader {
public:
    SideReader(const QStringList& lines, FieldTagRule tagRule, SideReadResult& result)
        : m_lines(lines)
        , m_tagRule(tagRule)
        , m_result(result)
    {
    }

    bool atEnd() const { return m_next >= m_lines.size(); }

    bool read(QString* line)
    {
        if (atEnd())
            return false;
        *line = m_lines[m_next++];
        return true;
    }

    // The next n lines, or nullptr (and the side ended early) when the file ends before them.
    const QString* block(qsizetype n)
    {
        if (m_lines.size() - m_next < n) {
            m_next = m_lines.size();
            m_result.endedEarly = true;
            return nullptr;
        }
        const QString* first = m_lines.constData() + m_next;
        m_next += n;
        return first;
    }

    int total()
    {
        const QString* line = block(1);
        return line ? totalOf(*line) : 0;
    }

    void skipToBackSide()
    {
        QString line;
        while (read(&line) && !line.contains(BackMarkerPart)) {
        }
    }

    // Everything from the comment total onwards. The line at the total's place has been read.
    void readElements(const QString& totalLine)
    {
        BadgeSide& side = m_result.side;
        for (int i = 0, n = totalOf(totalLine); i < n; ++i) {
            const QString* lines = block(14);
            if (!lines)
                return;
            Comment& comment = side.Label1.at(side.Label1.add());
            comment.Caption = from(lines[1], 9).toString();
            readTextProperties(lines + 2, comment);
        }
        for (int i = 0, n = total(); i < n; ++i) {
            const QString* lines = block(14);
            if (!lines)
                return;
            Field& field = side.lblField.at(side.lblField.add());
            field.Caption = from(lines[1], 11).toString();
            field.Tag = withoutLastChar(m_tagRule == FieldTagRule::ColumnOnly
                                            ? after(lines[1], QLatin1Char('.'))
                                            : from(lines[1], 12))
                            .toString();
            readTextProperties(lines + 2, field);
        }
        for (int i = 0, n = total(); i < n; ++i) {
            const QString* lines = block(6);
            if (!lines)
                return;
            Logo& logo = side.Image1.at(side.Image1.add());
            logo.Tag = from(lines[1], 10).toString();
            readGeometry(lines + 2, logo);
            logo.Visible = true;
        }
        for (int i = 0, n = total(); i < n; ++i) {
            const QString* lines = block(9);
            if (!lines)
                return;
            Shape& shape = side.myShape1.at(side.myShape1.add());
            shape.ShpType = codeAt(lines[0], 6);
            readGeometry(lines + 1, shape);
            shape.BorderWidth = codeAt(lines[5], 13);
            shape.BorderColor = colorAt(lines[6], 13);
            shape.BackStyle = codeAt(lines[7], 11);
            shape.BackColor = colorAt(lines[8], 11);
            shape.Visible = true;
        }
        if (readFrame(side.imgPhoto))
            readFrame(side.imgSign);
    }

private:
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
    SideReadResult& m_result;
    qsizetype m_next = 0;
};

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
    lines << KeyTotalComments + QString::number(side.Label1.count());
    for (const auto& [index, comment] : side.Label1) {
        lines << KeyComment + QString::number(index) << KeyCaption + storable(comment.Caption);
        appendTextProperties(lines, comment);
    }
    lines << KeyTotalFields + QString::number(side.lblField.count());
    for (const auto& [index, field] : side.lblField) {
        lines << KeyField + QString::number(index) << KeyFieldName + storable(field.Caption);
        appendTextProperties(lines, field);
    }
    lines << KeyTotalLogo + QString::number(side.Image1.count());
    for (const auto& [index, logo] : side.Image1) {
        lines << KeyLogo + QString::number(index) << KeyLogoPath + storable(logo.Tag);
        appendGeometry(lines, logo);
    }
    lines << KeyTotalShape + QString::number(side.myShape1.count());
    for (const auto& entry : side.myShape1) {
        const Shape& shape = entry.second;
        lines << KeyType + QString::number(shape.ShpType);
        appendGeometry(lines, shape);
        lines << KeyBorderWidth + QString::number(shape.BorderWidth)
              << KeyBorderColor + QString::number(shape.BorderColor)
              << KeyShapeBackStyle + QString::number(shape.BackStyle)
              << KeyShapeBackColor + QString::number(shape.BackColor);
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

SideReadResult readBadgeSide(const QStringList& lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    SideReadResult result;
    SideReader in(lines, tagRule, result);
    QString line;
    if (!in.read(&line) || after(line, QLatin1Char(':')) != projectName) {
        result.status = LoadStatus::WrongProject;
        result.errorText = BadgeNotLoadedMessage;
        return result;
    }
    if (!in.read(&line) || after(line, QLatin1Char('=')) != databasePath) {
        result.status = LoadStatus::WrongDatabase;
        result.errorText = WrongDatabaseMessage;
        return result;
    }
    if (!in.read(&line)) {
        result.endedEarly = true;
        return result;
    }
    result.orientation = roundToInt16(leadingNumber(after(line, QLatin1Char(':'))));

    if (which == BadgeSideId::Back)
        in.skipToBackSide();
    if (!in.read(&line)) {
        result.endedEarly = true;
        return result;
    }
    if (in.atEnd())
        return result; // a blank side at the end of the file
    if (line.contains(FrontMarkerPart))
        in.read(&line);
    // Older files could hold a blank front, which would read the back as front data.
    if (which == BadgeSideId::Front && line.contains(BackMarkerPart))
        return result;
    in.readElements(line);
    return result;
}

SideReadResult loadBadgeSide(const QString& badgePath, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule)
{
    const Result<QByteArray> bytes = readWholeFile(resolveFileName(badgePath));
    if (!bytes) {
        SideReadResult result;
        result.status = LoadStatus::CannotOpen;
        result.errorText = bytes.error();
        return result;
    }
    SideReadResult result =
        readBadgeSide(decodeQuotedLines(*bytes), which, projectName, databasePath, tagRule);
    result.missingLogos = loadLogoPictures(result.side);
    return result;
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
