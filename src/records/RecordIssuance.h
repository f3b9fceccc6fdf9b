#pragma once

#include "records/IssuanceRecord.h"
#include "records/RecordListModel.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QRadioButton;
class QThread;
class QTreeWidget;
class QWidget;

namespace vm {

// The record browser's view of the issuance record: the filter bar ("All", "Not printed yet",
// "Changed since printed", narrowed further by the search text), the list's "Printed" and
// "Last printed" columns, and the prints of the person shown. The record is only read here;
// the summary comes in one grouped statement per refresh and the change check links each
// printed person once, both aside, so the window never waits for them.
class RecordIssuance : public QObject {
    Q_OBJECT
public:
    RecordIssuance(QWidget* parent, RecordListModel* model);
    ~RecordIssuance() override;

    // Reads the open project's summary again (Refresh, another project).
    void refresh();
    // The text typed in the search box narrows the list to the rows holding every word of it.
    void setSearchText(const QString& typed);
    // The prints of the person shown; none: the panel is emptied.
    void showPerson(const std::optional<QString>& key);

    enum class Show { All, NotPrinted, Changed };
    void show(Show which);

    QWidget* filterBar = nullptr;
    QRadioButton* optAll = nullptr;
    QRadioButton* optNotPrinted = nullptr;
    QRadioButton* optChanged = nullptr;
    QLabel* lblFilter = nullptr;
    QGroupBox* fraHistory = nullptr;
    QLabel* lblHistory = nullptr; // whose prints, and how many
    QTreeWidget* lstHistory = nullptr;

Q_SIGNALS:
    // The summary, or the people changed since their last print, arrived.
    void summaryRead();
    void changesFound();

private:
    void applyFilter();
    void startChangeCheck();
    void readHistory();
    void showHistory(const QString& key, const Result<QList<IssuanceEntry>>& entries);
    void stopThread(std::unique_ptr<QThread>& thread);

    RecordListModel* m_model;
    Show m_show = Show::All;
    QList<QByteArray> m_terms;
    std::shared_ptr<const QHash<QString, IssueSummary>> m_summary;
    std::shared_ptr<const QSet<QByteArray>> m_printed;
    std::shared_ptr<const QSet<QByteArray>> m_changed; // none: not checked since the summary
    std::optional<QString> m_person;
    int m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::unique_ptr<QThread> m_summaryThread;
    std::unique_ptr<QThread> m_changeThread;
    std::unique_ptr<QThread> m_historyThread; // the prints of the person shown
};

} // namespace vm
