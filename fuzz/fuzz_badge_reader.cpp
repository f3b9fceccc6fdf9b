// Any bytes read as a badge file: both sides are read and the file split without a crash, and
// whatever was read is written, encoded, decoded and read again into the same side.
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

SideReadResult read(const QStringList& lines, BadgeSideId which)
{
    const FieldTagRule rule =
        which == BadgeSideId::Front ? FieldTagRule::ColumnOnly : FieldTagRule::TableAndColumn;
    return readBadgeSide(lines, which, projectOf(lines), databaseOf(lines), rule);
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
    const SideReadResult front = read(lines, BadgeSideId::Front);
    const SideReadResult back = read(lines, BadgeSideId::Back);
    if (front.status != LoadStatus::Loaded)
        return 0;

    BadgeLayout layout;
    layout.projectName = projectOf(lines);
    layout.databasePath = databaseOf(lines);
    layout.orientation = front.orientation;
    layout.front = front.side;
    layout.back = back.side;
    const QStringList frontLines = sideSectionLines(layout.front, BadgeSideId::Front, false);
    const QStringList backLines = sideSectionLines(layout.back, BadgeSideId::Back, false);
    if (holdsBackMarker(frontLines))
        return 0;

    const QStringList written = decodeQuotedLines(encodeQuotedLines(badgeFileLines(layout)));
    if (sideSectionLines(read(written, BadgeSideId::Front).side, BadgeSideId::Front, false) !=
            frontLines ||
        sideSectionLines(read(written, BadgeSideId::Back).side, BadgeSideId::Back, false) !=
            backLines)
        abort();
    return 0;
}
