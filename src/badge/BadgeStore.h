#pragma once

#include "badge/BadgeFile.h"
#include "common/Status.h"

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <chrono>

namespace vm {

// A badge as a whole: its file, its companion (BadgeCompanion.h) and the scratch files of the
// badge folder. Every window and tool opens, saves and copies badges through here.

// The scratch files are shared by every station that uses the badge folder, so each station
// writes them, and the badge assembled from them, only while it holds this lock.
class BadgeFolderLock {
public:
    explicit BadgeFolderLock(const QString& badgeDir);
    // Waits a moment for a station that is saving; then fails naming the station that holds the
    // lock (host and process).
    Status acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(1500));

    static QString path(const QString& badgeDir);

private:
    QString m_dir;
    QLockFile m_lock;
};

// Writes the scratch files from the layout, assembles the badge file from them and writes it
// with its companion (both or neither), all under the badge folder's lock. A back saved blank is
// its marker alone. A failure names the file or the station in the way; then no badge file and no
// companion is replaced.
Status saveBadge(const QString& badgeDir, const QString& badgePath, const BadgeLayout& layout,
                 bool blankBack);

// Reads the badge file once, loads its logos and gives the elements what the companion holds
// (see BadgeLayoutRead::lostProperties). With a scratch folder the scratch files are rewritten
// from the file first, under the lock, also when the checks of the file then fail; a failure to
// write them is scratchWritten.
struct OpenedBadge {
    BadgeLayoutRead read;
    Status scratchWritten;
};
OpenedBadge openBadge(const QString& badgePath, const QString& projectName,
                      const QString& databasePath, FieldTagRule tagRule,
                      const QString& scratchDir = {});

// What the operator is told about the companion of a badge read: the properties that were
// dropped, or why the companion could not be used; empty when all of it was taken.
QString companionText(const BadgeLayoutRead& read);

// Writes `to` with a badge file's bytes (the lines of `from`, changed as a copy needs them) and
// the companion of `from` beside it, both or neither.
Status writeBadgeCopy(const QString& from, const QString& to, const QByteArray& utf8Lines);

// Empties the side scratch files under the lock, as closing the designer does.
Status clearScratchFiles(const QString& badgeDir);

} // namespace vm
