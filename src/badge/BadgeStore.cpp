#include "badge/BadgeStore.h"

#include "badge/BadgeCompanion.h"
#include "common/FileNames.h"
#include "common/QuotedLines.h"
#include "common/ReadFile.h"
#include "common/SaveFile.h"

#include <QDir>
#include <QFile>

namespace vm {
namespace {

std::optional<QByteArray> companionOf(const QString& badgePath, Status* error)
{
    const QString path = badgeCompanionPath(badgePath);
    if (!QFile::exists(path))
        return std::nullopt;
    Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes) {
        *error = bytes.status();
        return std::nullopt;
    }
    return *bytes;
}

} // namespace

BadgeFolderLock::BadgeFolderLock(const QString& badgeDir)
    : m_dir(badgeDir)
    , m_lock(path(badgeDir))
{
    // A station that died while saving leaves its lock; saves take well under a second.
    m_lock.setStaleLockTime(30000);
}

QString BadgeFolderLock::path(const QString& badgeDir)
{
    return fileInFolder(badgeDir, QStringLiteral("vellumark-save.lock"));
}

Status BadgeFolderLock::acquire(std::chrono::milliseconds wait)
{
    if (m_lock.tryLock(wait))
        return {};
    const QString folder = QDir::toNativeSeparators(m_dir);
    qint64 pid = 0;
    QString host;
    QString program;
    if (m_lock.error() == QLockFile::LockFailedError && m_lock.getLockInfo(&pid, &host, &program))
        return Status::failure(
            QStringLiteral("The badge folder %1 is being saved by another station (computer "
                           "%2, process %3 of %4). Nothing was written; save again in a moment.")
                .arg(folder, host.isEmpty() ? QStringLiteral("unnamed") : host)
                .arg(pid)
                .arg(program.isEmpty() ? QStringLiteral("an unnamed program") : program));
    return Status::failure(
        QStringLiteral("The badge folder %1 cannot be locked for saving (%2). Nothing was written.")
            .arg(folder, m_lock.error() == QLockFile::PermissionError
                             ? QStringLiteral("no permission to create %1")
                                   .arg(QDir::toNativeSeparators(path(m_dir)))
                             : QStringLiteral("the lock file %1 cannot be used")
                                   .arg(QDir::toNativeSeparators(path(m_dir)))));
}

Status saveBadge(const QString& badgeDir, const QString& badgePath, const BadgeLayout& layout,
                 bool blankBack)
{
    BadgeFolderLock lock(badgeDir);
    if (Status locked = lock.acquire(); !locked)
        return locked;
    // A failed step stops the save before the next file is written: the badge file is never
    // assembled from stale parts.
    if (Status s = writeScratchFile(
            badgeDir, ScratchFile::General,
            generalSectionLines(layout.projectName, layout.databasePath, layout.orientation));
        !s)
        return s;
    if (Status s = writeScratchFile(badgeDir, ScratchFile::Front,
                                    sideSectionLines(layout.front, BadgeSideId::Front, false));
        !s)
        return s;
    if (Status s = writeScratchFile(badgeDir, ScratchFile::Back,
                                    sideSectionLines(layout.back, BadgeSideId::Back, blankBack));
        !s)
        return s;
    const Result<QByteArray> bytes = assembledBadgeFile(badgeDir, badgePath);
    if (!bytes)
        return bytes.status();
    return saveFilePair(badgePath, *bytes, badgeCompanionPath(badgePath),
                        companionDocument(layout.front, layout.back, blankBack));
}

OpenedBadge openBadge(const QString& badgePath, const QString& projectName,
                      const QString& databasePath, FieldTagRule tagRule,
                      const QString& scratchDir)
{
    OpenedBadge opened;
    BadgeLayoutRead& read = opened.read;
    const QString file = resolveFileName(badgePath);
    const Result<DecodedLines> lines = readQuotedLinesFile(file);
    if (!lines) {
        read.status = LoadStatus::CannotOpen;
        read.errorText = lines.error();
        read.file = file;
        return opened;
    }
    const BadgeParts parts = splitBadgeLines(lines->fields());
    if (!scratchDir.isEmpty()) {
        BadgeFolderLock lock(scratchDir);
        opened.scratchWritten = lock.acquire();
        if (opened.scratchWritten)
            opened.scratchWritten = writeScratchFiles(scratchDir, parts);
    }
    read = readBadgeLayout(lines->fields(), projectName, databasePath, tagRule);
    read.file = file;
    read.backBlank = parts.back.size() <= 1;
    if (read.status != LoadStatus::Loaded)
        return opened;
    read.missingLogos = loadLogoPictures(read.front);
    read.missingLogos << loadLogoPictures(read.back);

    Status companionRead;
    if (const std::optional<QByteArray> companion = companionOf(file, &companionRead)) {
        BadgeSide front = read.front;
        BadgeSide back = read.back;
        const Result<QStringList> lost = applyCompanion(*companion, front, back);
        if (lost) {
            read.front = std::move(front);
            read.back = std::move(back);
            read.lostProperties = *lost;
        } else {
            read.companionError = QStringLiteral("%1 was not used: %2")
                                      .arg(QDir::toNativeSeparators(badgeCompanionPath(file)),
                                           lost.error());
        }
    } else if (!companionRead) {
        read.companionError = companionRead.error();
    }
    return opened;
}

QString companionText(const BadgeLayoutRead& read)
{
    if (!read.companionError.isEmpty())
        return QStringLiteral("The badge %1 is shown without its stacking order, rotations and "
                              "barcodes.\n%2")
            .arg(QDir::toNativeSeparators(read.file), read.companionError);
    if (read.lostProperties.isEmpty())
        return {};
    return QStringLiteral("Some elements of the badge %1 lost properties kept beside it:\n%2")
        .arg(QDir::toNativeSeparators(read.file), read.lostProperties.join(QLatin1Char('\n')));
}

Status writeBadgeCopy(const QString& from, const QString& to, const QByteArray& utf8Lines)
{
    const Result<QByteArray> bytes = quotedLinesFileBytes(to, utf8Lines);
    if (!bytes)
        return bytes.status();
    Status companionRead;
    const std::optional<QByteArray> companion = companionOf(resolveFileName(from), &companionRead);
    if (!companionRead)
        return companionRead;
    return saveFilePair(to, *bytes, to + QStringLiteral(".json"), companion);
}

Status clearScratchFiles(const QString& badgeDir)
{
    BadgeFolderLock lock(badgeDir);
    if (Status locked = lock.acquire(); !locked)
        return locked;
    return clearSideScratchFiles(badgeDir);
}

} // namespace vm
