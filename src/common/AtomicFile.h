#pragma once

#include "common/Status.h"

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

#include <memory>
#include <optional>

class QImage;

namespace vm {

// A file that is written whole or not at all: every file the program writes goes through here.
// Bytes go to a temporary file beside it, each write is checked and the first failure kept, and
// commit() replaces the old file only when every byte reached the disk. QSaveFile alone is not
// enough: its commit() renames a file whose buffered last write failed, and the PDF writer
// ignores short writes through device(), so the failure must be kept here.
class AtomicFile {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile(); // cancels an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Opens the temporary file; the old file is not touched. What an interrupted save of this
    // file left behind is removed first, unless the caller writes many files in one folder.
    enum class Leftovers { Remove, Keep };
    Status open(Leftovers leftovers = Leftovers::Remove);
    // Where a writer such as QPdfWriter writes; a failed write is remembered.
    QIODevice* device();
    bool write(QByteArrayView bytes);
    // The first write that failed, if any.
    bool failed() const { return !m_status.ok(); }
    const Status& status() const { return m_status; }
    // Puts the file in place of the old one, or leaves the old one and says why.
    Status commit();
    void cancel();

private:
    class Device;
    void fail(int error);

    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<Device> m_device;
    Status m_status;
    qint64 m_written = 0;
};

// Writes a picture (PNG, JPEG, BMP) through an AtomicFile. Pictures come by the thousand into one
// folder (a run's pages, the demo's photographs): the folder is not searched for leftovers.
Status saveImageAtomically(const QImage& image, const QString& path, const char* format,
                           int quality = -1);

// "Cannot write <file>: the disk is full": the operator's words for a failed write or rename.
Status cannotWriteFile(const QString& path, int error);

// What a system error number means for a file being written, in words; empty when unknown.
QString writeErrorWords(int error);

// For tests: from now on every file written fails, as on a full disk, once `bytes` of it have
// been written; nullopt ends that. Lets every writer be tried without a small file system.
struct WriteFault {
    qint64 bytes = 0;
    int error = 0; // ENOSPC when 0
};
void simulateWriteFault(std::optional<WriteFault> fault);

} // namespace vm
