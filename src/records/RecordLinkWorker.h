#pragma once

#include "project/StoredSettings.h"
#include "records/RecordKey.h"
#include "records/RecordLink.h"

#include <QObject>
#include <QSize>

#include <memory>

class QThread;

namespace vm {

// Links records on a thread and a connection of its own, so a slow server never holds up the
// window. Only the newest request counts: a request made while another runs cancels the
// statement under way (PQcancel, sqlite3_interrupt), and an older result is never delivered.
// Destroying the worker cancels what runs and returns promptly, even from a server that no
// longer answers.
class RecordLinkWorker : public QObject {
    Q_OBJECT
public:
    RecordLinkWorker(const QString& databasePath, const StoredSettings& project,
                     QObject* parent = nullptr);
    ~RecordLinkWorker() override;

    // Starts linking `key`, its pictures decoded no larger than given (empty: as RecordLinker
    // decodes them). Returns the number linked() will carry.
    int link(const RecordKey& key, QSize photoDecode = {}, QSize signDecode = {});
    // Nothing more is delivered for the requests made so far.
    void cancel();
    bool isLinking() const { return m_done != m_requests; }
    // The request whose result was delivered last; 0 before the first.
    int delivered() const { return m_done; }

Q_SIGNALS:
    void linked(int request, const vm::LinkResult& result);

private:
    struct Shared;
    void deliver(int request, const LinkResult& result);

    std::shared_ptr<Shared> m_shared;
    QThread* m_thread = nullptr;
    int m_requests = 0;
    int m_done = 0;
};

} // namespace vm
