// Any bytes read as a badge file: both sides are read and the file split without a crash, each
// side reads alone as it reads with the other, and whatever was read is written, encoded,
// decoded and read again into the same sides.
#include "badge/BadgeFile.h"
#include "common/QuotedLines.h"

#include <cstdint>
#include <cstdlib>

using namespace vm;

namespace {

// The checks pass when the file names its own project and database, so the sides get read.
QString projectOf(const QStringList& lines)
{
    const QString line = lines.value(0);
    return line.mid(line.indexOf(QLatin1Char(':')) + 1);
}

QString databaseOf(const QStringList& lines)
{
    const QString line = lines.value(1);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

BadgeLayoutRead read(const QStringList& lines, FieldTagRule rule)
{
    return readBadgeLayout(lines, projectOf(lines), databaseOf(lines), rule);
}

bool endedIn(const BadgeLayoutRead& read, BadgeSideId side)
{
    for (const BadgeLayoutRead::EarlyEnd& end : read.endedEarly) {
        if (end.side == side)
            return true;
    }
    return false;
}

// A value holding the back marker moves where the back starts; such a side cannot survive.
bool holdsBackMarker(const QStringList& frontLines)
{
    for (qsizetype i = 1; i < frontLines.size(); ++i) {
        if (frontLines[i].contains(BackMarkerPart))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList lines = decodeQuotedLines(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    splitBadgeLines(lines);
    // The designer's rule on the first reading, the rendering windows' on the second.
    const BadgeLayoutRead layoutRead = read(lines, FieldTagRule::ColumnOnly);
    if (layoutRead.status != LoadStatus::Loaded)
        return 0;
    const QStringList frontLines = sideSectionLines(layoutRead.front, BadgeSideId::Front, false);
    const QStringList backLines = sideSectionLines(layoutRead.back, BadgeSideId::Back, false);
    const SideReadResult back = readBadgeSide(lines, BadgeSideId::Back, projectOf(lines),
                                              databaseOf(lines), FieldTagRule::ColumnOnly);
    if (sideSectionLines(back.side, BadgeSideId::Back, false) != backLines ||
        back.endedEarly != endedIn(layoutRead, BadgeSideId::Back))
        abort();
    if (holdsBackMarker(frontLines))
        return 0;

    BadgeLayout layout;
    layout.projectName = projectOf(lines);
    layout.databasePath = databaseOf(lines);
    layout.orientation = layoutRead.orientation;
    layout.front = layoutRead.front;
    layout.back = layoutRead.back;
    const BadgeLayoutRead again = read(decodeQuotedLines(encodeQuotedLines(badgeFileLines(layout))),
                                       FieldTagRule::TableAndColumn);
    if (sideSectionLines(again.front, BadgeSideId::Front, false) != frontLines ||
        sideSectionLines(again.back, BadgeSideId::Back, false) != backLines ||
        !again.endedEarly.isEmpty())
        abort();
    return 0;
}
