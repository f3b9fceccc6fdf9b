#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace vm {

class DatabaseConnection;

// Learns of rows of the master table changed at other stations without reading the table again.
// PostgreSQL: a trigger on the table, created on first use where the role may, notifies every
// station listening of each key changed as it happens. SQLite, and PostgreSQL where no trigger
// may be made: a cheap check whether anything changed since the check before (SQLite's
// data_version; the server's count of rows written to the table, which a writing session left
// open reports up to ten seconds late), asked when the window comes back to the front.
class RecordChangeWatch : public QObject {
    Q_OBJECT
public:
    // `db` is open and stays open, on this thread, as long as the watch.
    RecordChangeWatch(DatabaseConnection& db, const QString& table, const QString& keyColumn,
                      QObject* parent = nullptr);
    ~RecordChangeWatch() override;

    // Starts watching; what to tell the operator when changes can only be checked for (the
    // trigger could not be made, and why), empty otherwise.
    QString start();
    bool isLive() const { return m_live; }
    // Whether rows may have changed at another station since the last check (or the start);
    // nullopt when this engine cannot tell (Access copies, a check that failed).
    std::optional<bool> changedSinceLastCheck();

    // The name of the notification channel and of the trigger and its function.
    static QString channel();

Q_SIGNALS:
    // A row with this key was changed (or deleted, or its key given to the row) elsewhere. Live
    // only; the station's own changes are announced too.
    void rowChanged(const QString& key, bool deleted);

private:
    QString createTrigger();
    std::optional<qint64> changeCount();
    void onNotification(const QString& name, const QVariant& payload);

    DatabaseConnection& m_db;
    QString m_table;
    QString m_keyColumn;
    bool m_live = false;
    std::optional<qint64> m_lastCount;
};

} // namespace vm
