// Any bytes read as a badge file: both sides are read and the file split without a crash, each
// side reads alone as it reads with the other, and whatever was read is written, decoded and
// read again into the same sides. Sides are compared as the encoded lines the program writes,
// which are equal exactly when the lines are: no written line holds a double quote.
#include "badge/BadgeFile.h"
#include "common/QuotedLines.h"

#include <cstdint>
#include <cstdlib>

using namespace vm;

namespace {

using Lines = std::span<const QStringView>;

// The checks pass when the file names its own project and database, so the sides get read.
QString projectOf(Lines lines)
{
    const QStringView line = lines.empty() ? QStringView() : lines[0];
    return line.sliced(line.indexOf(QLatin1Char(':')) + 1).toString();
}

QString databaseOf(Lines lines)
{
    const QStringView line = lines.size() < 2 ? QStringView() : lines[1];
    return line.sliced(line.indexOf(QLatin1Char('=')) + 1).toString();
}

BadgeLayoutRead read(Lines lines, FieldTagRule rule)
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

QByteArray written(const BadgeSide& side, BadgeSideId which)
{
    return encodedSideSection(side, which, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DecodedLines file(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    const Lines lines = file.fields();
    splitBadgeLines(lines);
    // The designer's rule on the first reading, the rendering windows' on the second.
    BadgeLayoutRead layoutRead = read(lines, FieldTagRule::ColumnOnly);
    if (layoutRead.status != LoadStatus::Loaded)
        return 0;
    const QByteArray front = written(layoutRead.front, BadgeSideId::Front);
    const QByteArray back = written(layoutRead.back, BadgeSideId::Back);
    const SideReadResult backAlone = readBadgeSide(lines, BadgeSideId::Back, projectOf(lines),
                                                   databaseOf(lines), FieldTagRule::ColumnOnly);
    if (written(backAlone.side, BadgeSideId::Back) != back ||
        backAlone.endedEarly != endedIn(layoutRead, BadgeSideId::Back))
        abort();
    // A value holding a marker is written so it cannot be read as one.
    for (const QByteArray* side : {&front, &back}) {
        const DecodedLines lines(*side);
        for (QStringView line : lines.fields().subspan(1)) {
            if (line.contains(FrontMarkerPart) || line.contains(BackMarkerPart))
                abort();
        }
    }

    BadgeLayout layout;
    layout.projectName = projectOf(lines);
    layout.databasePath = databaseOf(lines);
    layout.orientation = layoutRead.orientation;
    layout.front = std::move(layoutRead.front);
    layout.back = std::move(layoutRead.back);
    const DecodedLines rewritten(encodedBadgeFile(layout));
    const BadgeLayoutRead again = read(rewritten.fields(), FieldTagRule::TableAndColumn);
    if (written(again.front, BadgeSideId::Front) != front ||
        written(again.back, BadgeSideId::Back) != back || !again.endedEarly.isEmpty())
        abort();
    return 0;
}
