#include "common/AtomicFile.h"

#include "common/SaveFile.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <sys/file.h>
#include <unistd.h>

namespace vm {
namespace {

std::atomic<qint64> faultAfter{-1};
std::atomic<int> faultError{0};

// QSaveFile's temporary names are the file's name, a dot and six random letters. A name a person
// gives ("Demo.Prj.backup", "Staff.Lyt.Before") is one case or a capitalised word: left alone.
bool looksLikeTemporaryName(QStringView suffix)
{
    if (suffix.size() != 6)
        return false;
    bool upper = false, lower = false;
    for (QChar c : suffix) {
        if (c >= u'A' && c <= u'Z')
            upper = true;
        else if (c >= u'a' && c <= u'z')
            lower = true;
        else
            return false;
    }
    const bool capitalisedWord =
        suffix[0].isUpper() && std::all_of(suffix.begin() + 1, suffix.end(), [](QChar c) {
            return c.isLower();
        });
    return upper && lower && !capitalisedWord;
}

// A save killed between naming its temporary file and the rename leaves that file behind. Removed
// only when no running save holds its lock, so another station's save in progress is safe.
void removeLeftovers(const QString& path)
{
    const QFileInfo target(path);
    const QString prefix = target.fileName() + QLatin1Char('.');
    QDirIterator it(target.absolutePath(), QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (!name.startsWith(prefix) ||
            !looksLikeTemporaryName(QStringView(name).sliced(prefix.size())))
            continue;
        QFile leftover(it.filePath());
        if (!leftover.open(QIODevice::ReadOnly))
            continue;
        if (::flock(leftover.handle(), LOCK_EX | LOCK_NB) == 0)
            QFile::remove(it.filePath());
    }
}

// The words for the system's error when Qt's call left one we know; Qt's own text otherwise.
Status cannotWriteAfterQt(const QString& path, int error, const QString& qtReason)
{
    return writeErrorWords(error).isEmpty() ? cannotWrite(path, qtReason)
                                            : cannotWriteFile(path, error);
}

} // namespace

// Passes writes to the owner, which checks them; a painter's device never buffers.
class AtomicFile::Device : public QIODevice {
public:
    explicit Device(AtomicFile& owner)
        : m_owner(owner)
    {
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        return m_owner.write(QByteArrayView(data, size)) ? size : -1;
    }

private:
    AtomicFile& m_owner;
};

AtomicFile::AtomicFile(QString path)
    : m_path(std::move(path))
    , m_file(m_path)
{
}

AtomicFile::~AtomicFile()
{
    cancel();
}

Status AtomicFile::open(Leftovers leftovers)
{
    if (leftovers == Leftovers::Remove)
        removeLeftovers(m_path);
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_status = cannotWriteAfterQt(m_path, errno, m_file.errorString());
        return m_status;
    }
    // Held until the file is committed or this process ends: see removeLeftovers.
    static_cast<void>(::flock(m_file.handle(), LOCK_EX | LOCK_NB));
    m_device = std::make_unique<Device>(*this);
    m_device->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return {};
}

QIODevice* AtomicFile::device()
{
    return m_device.get();
}

void AtomicFile::fail(int error)
{
    if (m_status.ok())
        m_status = cannotWriteFile(m_path, error);
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (failed() || !m_file.isOpen())
        return false;
    const char* data = bytes.data();
    qint64 left = bytes.size();
    // A simulated fault writes what fits, then fails as the disk would.
    int simulated = 0;
    if (const qint64 after = faultAfter.load(); after >= 0 && m_written + left > after) {
        left = std::max<qint64>(0, after - m_written);
        simulated = faultError.load() ? faultError.load() : ENOSPC;
    }
    while (left > 0) {
        const ssize_t n = ::write(m_file.handle(), data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            return false;
        }
        data += n;
        left -= n;
        m_written += n;
    }
    if (simulated) {
        fail(simulated);
        return false;
    }
    return true;
}

Status AtomicFile::commit()
{
    if (!m_file.isOpen())
        return m_status.ok() ? cannotWrite(m_path, QStringLiteral("it was not opened")) : m_status;
    if (m_device)
        m_device->close();
    // Some disks (network, quotas) report a failed write only here.
    if (!failed() && ::fsync(m_file.handle()) != 0)
        fail(errno);
    if (failed()) {
        cancel();
        return m_status;
    }
    errno = 0;
    if (!m_file.commit()) {
        m_status = cannotWriteAfterQt(m_path, errno, m_file.errorString());
        return m_status;
    }
    return {};
}

void AtomicFile::cancel()
{
    if (m_device)
        m_device->close();
    if (m_file.isOpen()) {
        m_file.cancelWriting();
        static_cast<void>(m_file.commit()); // a cancelled commit removes the temporary file
    }
}

Status saveImageAtomically(const QImage& image, const QString& path, const char* format,
                           int quality)
{
    // Encoded in memory first: Qt's PNG writer leaks and prints to the terminal when its device
    // fails, and the encoded picture is small beside the image.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        return cannotWrite(path, QStringLiteral("the picture could not be encoded"));
    AtomicFile file(path);
    if (Status opened = file.open(AtomicFile::Leftovers::Keep); !opened)
        return opened;
    file.write(bytes);
    return file.commit();
}

QString writeErrorWords(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("the disk is full");
    case EDQUOT:
        return QStringLiteral("the disk quota is used up");
    case EFBIG:
        return QStringLiteral("the file is too large for the disk");
    case EIO:
        return QStringLiteral("the disk could not be written (input/output error)");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case ENOENT:
        return QStringLiteral("the folder does not exist");
    case ENOTDIR:
        return QStringLiteral("a part of the path is not a folder");
    case EISDIR:
        return QStringLiteral("that name is a folder");
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("too many files are open");
    case ENOMEM:
        return QStringLiteral("the computer is out of memory");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("the file is in use");
    case ESTALE:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("the disk is no longer there");
    default:
        return {};
    }
}

Status cannotWriteFile(const QString& path, int error)
{
    const QString words = writeErrorWords(error);
    return cannotWrite(path, words.isEmpty() ? qt_error_string(error) : words);
}

void simulateWriteFault(std::optional<WriteFault> fault)
{
    faultError.store(fault ? fault->error : 0);
    faultAfter.store(fault ? fault->bytes : -1);
}

} // namespace vm
