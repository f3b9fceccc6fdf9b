#include "records/RecordLinkWorker.h"

#include "project/Database.h"
#include "project/StatementCancel.h"

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include <optional>

namespace vm {

struct RecordLinkWorker::Shared {
    struct Request {
        int number = 0;
        RecordKey key;
        QSize photo, sign;
    };

    QMutex mutex;
    QWaitCondition wake;
    std::optional<Request> next;
    int running = 0;              // the request being linked; 0: none
    int cancels = 0;              // cancellations sent, so a result they spoiled is linked again
    int dropped = 0;              // requests up to this one are no longer wanted
    std::function<void()> cancel; // stops the worker connection's statement while it is open
    bool stop = false;
    QPointer<RecordLinkWorker> owner;

    // With the mutex held.
    void cancelRunning()
    {
        if (running != 0 && cancel) {
            ++cancels;
            cancel();
        }
    }

    void run(const QString& path, const StoredSettings& project);
};

void RecordLinkWorker::Shared::run(const QString& path, const StoredSettings& project)
{
    DatabaseConnection db;
    std::optional<RecordLinker> linker;
    QMutexLocker lock(&mutex);
    for (;;) {
        while (!stop && !next)
            wake.wait(&mutex);
        if (stop)
            break;
        const Request request = *std::exchange(next, std::nullopt);
        running = request.number;
        const int cancelsBefore = cancels;
        lock.unlock();

        LinkResult result;
        if (!linker && db.OpenProjectDatabase(path)) {
            linker.emplace(db, project);
            const QMutexLocker setting(&mutex);
            cancel = statementCanceller(db);
        }
        if (linker) {
            linker->setPictureDecodeSize(request.photo, request.sign, DecodeFit::Screen);
            result = linker->link(request.key);
        } else {
            result.message = db.errorText();
        }

        lock.relock();
        running = 0;
        const bool wanted = request.number > dropped && !next;
        if (wanted && cancels != cancelsBefore && !result.record && !stop) {
            next = request; // a cancel meant for the request before may have hit this one
            continue;
        }
        if (owner && wanted) {
            QPointer<RecordLinkWorker> to = owner;
            QMetaObject::invokeMethod(
                to.data(),
                [to, number = request.number, result] {
                    if (to)
                        to->deliver(number, result);
                },
                Qt::QueuedConnection);
        }
    }
    cancel = nullptr;
}

RecordLinkWorker::RecordLinkWorker(const QString& databasePath, const StoredSettings& project,
                                   QObject* parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
    m_thread = QThread::create(
        [shared = m_shared, databasePath, project] { shared->run(databasePath, project); });
    m_thread->start();
}

RecordLinkWorker::~RecordLinkWorker()
{
    {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->stop = true;
        m_shared->owner = nullptr;
        m_shared->cancelRunning();
    }
    m_shared->wake.wakeAll();
    // A server that answers not even a cancel keeps the thread a while: it ends on its own
    // and deletes itself, holding nothing of this object.
    if (m_thread->wait(QDeadlineTimer(1500))) {
        delete m_thread;
    } else {
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread->setParent(nullptr);
    }
}

int RecordLinkWorker::link(const RecordKey& key, QSize photoDecode, QSize signDecode)
{
    const int number = ++m_requests;
    {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->next = Shared::Request{number, key, photoDecode, signDecode};
        m_shared->cancelRunning();
    }
    m_shared->wake.wakeOne();
    return number;
}

void RecordLinkWorker::cancel()
{
    m_done = m_requests;
    const QMutexLocker lock(&m_shared->mutex);
    m_shared->dropped = m_requests;
    m_shared->next.reset();
    m_shared->cancelRunning();
}

void RecordLinkWorker::deliver(int request, const LinkResult& result)
{
    if (request != m_requests || m_done == m_requests)
        return;
    m_done = request;
    Q_EMIT linked(request, result);
}

} // namespace vm
