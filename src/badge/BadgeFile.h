#pragma once

#include "badge/BadgeSide.h"
#include "common/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace vm {

// The badge file: quoted lines (see common/QuotedLines.h), a general section of three lines, the
// front section and the back section, then the back section's last line once more. Readers take
// values at fixed positions and never compare keys, so the order of the lines is the format.
// The designer keeps the parts in three scratch files in the badge folder and assembles the
// badge file from them on every save.

enum class BadgeSideId : qint16 { Front = 0, Back = 1 };
enum class ScratchFile { General, Front, Back };

inline const QString FrontMarker =
    QStringLiteral("=================FRONT SIDE=====================");
inline const QString BackMarker = QStringLiteral("=================BACK SIDE=====================");
// Readers find the markers by these parts, anywhere in a line.
inline const QString FrontMarkerPart = QStringLiteral("====FRONT SIDE====");
inline const QString BackMarkerPart = QStringLiteral("====BACK SIDE====");

inline const QString BadgeNotLoadedMessage = QStringLiteral("Badge Not Loaded!");
inline const QString WrongDatabaseMessage = QStringLiteral("Wrong databse used!");

// --- Writing -------------------------------------------------------------------------------

// Line texts without quotes. A double quote in a value is written as the typographic ” because
// the line encoding cannot hold it.
QStringList generalSectionLines(const QString& projectName, const QString& databasePath,
                                qint16 orientation);
// A blank side is its marker line alone.
QStringList sideSectionLines(const BadgeSide& side, BadgeSideId which, bool blank);
// The whole file: general, front, back, and the last line again.
QStringList badgeFileLines(const BadgeLayout& layout, bool blankBack = false);
// The same lines encoded as the files hold them (see common/QuotedLines.h), built in one buffer.
// These are what the writers below write.
QByteArray encodedSideSection(const BadgeSide& side, BadgeSideId which, bool blank);
QByteArray encodedBadgeFile(const BadgeLayout& layout, bool blankBack = false);
// Writes encodedBadgeFile atomically, in the open project's code page (common/TextCodePage.h), as
// every writer and reader of badge and scratch files below does, together with its companion
// (BadgeCompanion.h).
Status writeBadgeFile(const QString& path, const BadgeLayout& layout, bool blankBack = false);

// --- Scratch files -------------------------------------------------------------------------
// A failure names the file and the reason.

// "general.tmp", "front.tmp" or "back.tmp" in the folder; an existing file whose name differs
// only in letter case is used instead.
QString scratchFilePath(const QString& badgeDir, ScratchFile which);
Status writeScratchFile(const QString& badgeDir, ScratchFile which, const QStringList& lines);

// The side scratch files of a save: the displayed side in full; the other side, when it has not
// been stored since the designer opened, blank if it is the back. A front that was never stored
// is written in full with empty lists and hidden frames instead of blank, because a blank front
// cannot be read back.
Status saveDisplayedSide(const QString& badgeDir, BadgeSideId displayed, const BadgeSide& side,
                         bool otherSideStored);

// Builds the badge file from the three scratch files plus the last line once more. Refuses,
// leaving the old badge file as it was, when a scratch file is missing or empty.
Status assembleBadgeFile(const QString& badgeDir, const QString& badgePath);
// The bytes that file would hold, for writing it together with its companion.
Result<QByteArray> assembledBadgeFile(const QString& badgeDir, const QString& badgePath);

// How a load splits a badge file into the scratch files: the first line is dropped, the general
// part runs up to and including the front marker, the front part from that marker up to the
// first line containing the back marker, the back part from there up to the last line, which is
// the duplicate and is left out.
struct SplitBadge {
    QStringList general;
    QStringList front;
    QStringList back;
};
SplitBadge splitBadgeLines(const QStringList& lines);
// The same split as views into the lines, which it must not outlive.
struct BadgeParts {
    std::span<const QStringView> general;
    std::span<const QStringView> front;
    std::span<const QStringView> back;
};
BadgeParts splitBadgeLines(std::span<const QStringView> lines);
// Rewrites the three scratch files from the badge file; they are left alone if it cannot be read.
Status splitBadgeFile(const QString& badgePath, const QString& badgeDir);
// The three scratch files from the parts of a badge file, general first.
Status writeScratchFiles(const QString& badgeDir, const BadgeParts& parts);

// Empties "front.tmp" and "back.tmp" (files of length zero), as closing the designer does.
Status clearSideScratchFiles(const QString& badgeDir);

// --- Reading -------------------------------------------------------------------------------

// How a field's Tag is derived from its stored reference "<Table.Column>".
enum class FieldTagRule {
    ColumnOnly,     // the designer: "Column"
    TableAndColumn, // the rendering windows: "Table.Column"
};

enum class LoadStatus { Loaded, CannotOpen, WrongProject, WrongDatabase };

struct SideReadResult {
    LoadStatus status = LoadStatus::Loaded;
    QString errorText;        // the operator's message for any status but Loaded
    qint16 orientation = 0;   // as read from the file; 0 when the check stopped before it
    BadgeSide side;           // the elements read, at indexes 1, 2, 3 ...
    bool endedEarly = false;  // the file ended inside the side; what was read whole is kept
    QString endedIn;          // then: the part cut off ("comment 2 of 3"); empty: all of it
    QStringList missingLogos; // logo files that could not be loaded
};

// Both sides of a badge file from one reading of it.
struct BadgeLayoutRead {
    QString file; // the file read, when read from one
    LoadStatus status = LoadStatus::Loaded;
    QString errorText;
    qint16 orientation = 0;
    BadgeSide front;
    BadgeSide back;
    // Each side the file ended in, front first, with the part that was cut off; an empty part:
    // nothing of the side was there.
    struct EarlyEnd {
        BadgeSideId side = BadgeSideId::Front;
        QString part;
    };
    QList<EarlyEnd> endedEarly;
    QStringList missingLogos;
    // Read from the companion file (BadgeStore.h): what it held for elements that changed since,
    // one line each in the operator's words, and why the companion itself could not be used.
    QStringList lostProperties;
    QString companionError;
    bool backBlank = false; // the file holds the back's marker alone

    const BadgeSide& side(BadgeSideId which) const
    {
        return which == BadgeSideId::Front ? front : back;
    }
    BadgeSide& side(BadgeSideId which) { return which == BadgeSideId::Front ? front : back; }
};

// Reads both sides from the lines of a badge file as a load does: checks the project name and
// the database path, reads the orientation, and builds the elements of each side. Touches no
// file; logo pictures are left empty. The loads read the views of DecodedLines
// (common/QuotedLines.h).
BadgeLayoutRead readBadgeLayout(std::span<const QStringView> lines, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule);
BadgeLayoutRead readBadgeLayout(const QStringList& lines, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule);

// Reads the badge file (its name matched without regard to case) and loads the logo pictures.
BadgeLayoutRead loadBadgeLayout(const QString& badgePath, const QString& projectName,
                                const QString& databasePath, FieldTagRule tagRule);

// One side alone, read as readBadgeLayout reads it.
SideReadResult readBadgeSide(std::span<const QStringView> lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule);
SideReadResult readBadgeSide(const QStringList& lines, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule);
SideReadResult loadBadgeSide(const QString& badgePath, BadgeSideId which,
                             const QString& projectName, const QString& databasePath,
                             FieldTagRule tagRule);

// What the operator is told about a file that ended early, naming the file, the side and the
// part that was cut off; empty when the file was whole.
QString earlyEndText(const BadgeLayoutRead& read);

// Loads every logo's picture from its Tag; returns the paths that could not be loaded.
QStringList loadLogoPictures(BadgeSide& side);

} // namespace vm
