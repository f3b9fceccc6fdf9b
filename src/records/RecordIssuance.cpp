#include "records/RecordIssuance.h"

#include "project/Database.h"
#include "project/ProjectSettings.h"
#include "records/PrintedChange.h"
#include "records/RecordLink.h"
#include "records/SearchText.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vm {

RecordIssuance::RecordIssuance(QWidget* parent, RecordListModel* model)
    : QObject(parent)
    , m_model(model)
{
    filterBar = new QWidget(parent);
    filterBar->setObjectName(QStringLiteral("fraFilter"));
    auto* bar = new QHBoxLayout(filterBar);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* shown = new QLabel(QStringLiteral("Show:"), filterBar);
    bar->addWidget(shown);
    auto* group = new QButtonGroup(filterBar);
    auto option = [&](const char* name, const QString& caption, Show which) {
        auto* button = new QRadioButton(caption, filterBar);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(QStringLiteral("Show %1").arg(caption));
        group->addButton(button);
        bar->addWidget(button);
        connect(button, &QRadioButton::toggled, this, [this, which](bool on) {
            if (on)
                show(which);
        });
        return button;
    };
    optAll = option("optAll", QStringLiteral("All"), Show::All);
    optNotPrinted = option("optNotPrinted", QStringLiteral("Not printed yet"), Show::NotPrinted);
    optChanged = option("optChanged", QStringLiteral("Changed since printed"), Show::Changed);
    optAll->setChecked(true);
    lblFilter = new QLabel(filterBar);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    bar->addWidget(lblFilter, 1);

    fraHistory = new QGroupBox(QStringLiteral("Prints of the person shown"), parent);
    fraHistory->setObjectName(QStringLiteral("fraHistory"));
    auto* panel = new QVBoxLayout(fraHistory);
    panel->setContentsMargins(4, 2, 4, 4);
    panel->setSpacing(2);
    // Whose prints these are changes with every click: in a line of its own, since a changed
    // title would paint the whole box and the browser behind it again.
    lblHistory = new QLabel(QStringLiteral("Nobody is shown."), fraHistory);
    lblHistory->setObjectName(QStringLiteral("lblHistory"));
    panel->addWidget(lblHistory);
    lstHistory = new QTreeWidget(fraHistory);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setAccessibleName(QStringLiteral("Prints of the person shown"));
    lblHistory->setBuddy(lstHistory);
    lstHistory->setRootIsDecorated(false);
    lstHistory->setHeaderLabels({QStringLiteral("Printed"), QStringLiteral("Badge"),
                                 QStringLiteral("Sides"), QStringLiteral("Reason"),
                                 QStringLiteral("Printer or file"), QStringLiteral("Station"),
                                 QStringLiteral("User")});
    lstHistory->header()->setStretchLastSection(false);
    panel->addWidget(lstHistory);
}

RecordIssuance::~RecordIssuance()
{
    if (m_cancel)
        *m_cancel = true;
    stopThread(m_summaryThread);
    stopThread(m_changeThread);
    stopThread(m_historyThread);
}

void RecordIssuance::stopThread(std::unique_ptr<QThread>& thread)
{
    if (thread)
        thread->wait();
    thread.reset();
}

void RecordIssuance::refresh()
{
    if (m_cancel)
        *m_cancel = true;
    stopThread(m_summaryThread);
    stopThread(m_changeThread);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const int generation = ++m_generation;
    m_changed.reset();
    const ProjectSettings& settings = ProjectSettings::instance();
    if (settings.ProjectFile.isEmpty()) {
        m_summary = std::make_shared<const QHash<QString, IssueSummary>>();
        m_printed = std::make_shared<const QSet<QByteArray>>();
        m_model->setIssued(m_summary);
        applyFilter();
        return;
    }
    lblFilter->setText(QStringLiteral("Reading the issuance record ..."));
    m_summaryThread.reset(QThread::create(
        [this, generation, file = settings.ProjectFile, project = settings.stored()] {
            auto summary = std::make_shared<QHash<QString, IssueSummary>>();
            QString error;
            {
                // Only read: browsing a project never printed makes no record.
                Result<IssuanceRecord::Opened> opened =
                    IssuanceRecord::open(file, project, QStringLiteral("vellumark"), false);
                if (!opened) {
                    error = opened.error();
                } else if (opened->record) {
                    Result<QHash<QString, IssueSummary>> read =
                        opened->record->summary(project.ProjectName);
                    if (read)
                        *summary = std::move(*read);
                    else
                        error = read.error();
                }
            }
            QMetaObject::invokeMethod(
                this,
                [this, generation, summary, error] {
                    if (generation != m_generation)
                        return;
                    auto printed = std::make_shared<QSet<QByteArray>>();
                    for (auto it = summary->cbegin(); it != summary->cend(); ++it)
                        printed->insert(it.key().toUtf8());
                    m_summary = summary;
                    m_printed = printed;
                    m_model->setIssued(m_summary);
                    lblFilter->setText(error);
                    lblFilter->setToolTip(error);
                    if (m_show == Show::Changed)
                        startChangeCheck();
                    applyFilter();
                    showPerson(m_person);
                    Q_EMIT summaryRead();
                },
                Qt::QueuedConnection);
        }));
    m_summaryThread->start();
}

void RecordIssuance::setSearchText(const QString& typed)
{
    m_terms = searchTerms(typed);
    applyFilter();
}

void RecordIssuance::show(Show which)
{
    m_show = which;
    if (which == Show::Changed && !m_changed && m_summary)
        startChangeCheck();
    applyFilter();
}

void RecordIssuance::applyFilter()
{
    RowFilter filter;
    filter.terms = m_terms;
    if (m_show == Show::NotPrinted) {
        filter.keys = RowFilter::Keys::NotListed;
        filter.listed = m_printed;
    } else if (m_show == Show::Changed) {
        filter.keys = RowFilter::Keys::Listed;
        // Nobody is shown until the check has found who changed.
        filter.listed = m_changed ? m_changed : std::make_shared<const QSet<QByteArray>>();
    }
    m_model->setRowFilter(filter);
}

void RecordIssuance::startChangeCheck()
{
    stopThread(m_changeThread);
    const int generation = m_generation;
    const ProjectSettings& settings = ProjectSettings::instance();
    lblFilter->setText(QStringLiteral("Comparing %L1 printed people with their last print ...")
                           .arg(m_summary->size()));
    m_changeThread.reset(QThread::create([this, generation, cancel = m_cancel, summary = m_summary,
                                          project = settings.stored()] {
        auto changed = std::make_shared<QSet<QByteArray>>();
        QStringList problems;
        {
            DatabaseConnection db;
            if (!db.OpenProjectDatabase(project.DatabasePath)) {
                problems << db.errorText();
            } else {
                RecordLinker linker(db, project);
                PrintedChangeCheck check(project);
                for (auto it = summary->cbegin(); it != summary->cend() && !cancel->load(); ++it) {
                    const Result<RecordKey> key = linker.keyFromText(it.key());
                    const Result<bool> differs =
                        key ? check.changed(linker, *key, *it) : Result<bool>(key.status());
                    // Who can no longer be compared is shown, to be looked at.
                    if (!differs)
                        problems << differs.error();
                    if (!differs || *differs)
                        changed->insert(it.key().toUtf8());
                }
            }
        }
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, changed, problems] {
                if (generation != m_generation)
                    return;
                m_changed = changed;
                lblFilter->setText(
                    problems.isEmpty()
                        ? QStringLiteral("%L1 changed since printed").arg(changed->size())
                        : QStringLiteral("%L1 changed since printed; %L2 could not be compared")
                              .arg(changed->size())
                              .arg(problems.size()));
                lblFilter->setToolTip(problems.mid(0, 20).join(QLatin1Char('\n')));
                if (m_show == Show::Changed)
                    applyFilter();
                Q_EMIT changesFound();
            },
            Qt::QueuedConnection);
    }));
    m_changeThread->start();
}

void RecordIssuance::showPerson(const std::optional<QString>& key)
{
    m_person = key;
    if (lstHistory->topLevelItemCount() > 0) // an empty list cleared still lays itself out again
        lstHistory->clear();
    if (!key || !m_summary || !m_summary->contains(*key)) {
        lblHistory->setText(key ? QStringLiteral("Prints of %1: never printed").arg(*key)
                                : QStringLiteral("Nobody is shown."));
        return;
    }
    lblHistory->setText(
        QStringLiteral("Prints of %1: %L2").arg(*key).arg(m_summary->value(*key).count));
    readHistory();
}

// The entries are read on a thread of their own, with a connection of their own: a click never
// waits for a server. One read at a time; when it ends, the person shown by then is read.
void RecordIssuance::readHistory()
{
    if (m_historyThread && m_historyThread->isRunning())
        return;
    stopThread(m_historyThread);
    const ProjectSettings& settings = ProjectSettings::instance();
    m_historyThread.reset(QThread::create([this, key = *m_person, generation = m_generation,
                                           file = settings.ProjectFile,
                                           project = settings.stored()] {
        Result<QList<IssuanceEntry>> entries = QList<IssuanceEntry>();
        {
            Result<IssuanceRecord::Opened> opened =
                IssuanceRecord::open(file, project, QStringLiteral("vellumark"), false);
            if (!opened)
                entries = opened.status();
            else if (opened->record)
                entries = opened->record->entries(project.ProjectName, {}, key);
        }
        QMetaObject::invokeMethod(
            this,
            [this, key, generation, entries] {
                m_historyThread->wait(); // past its last statement
                if (generation == m_generation && m_person == key)
                    showHistory(key, entries);
                else if (m_person && m_summary && m_summary->contains(*m_person))
                    readHistory();
            },
            Qt::QueuedConnection);
    }));
    m_historyThread->start();
}

void RecordIssuance::showHistory(const QString& key, const Result<QList<IssuanceEntry>>& entries)
{
    if (!entries) {
        lblHistory->setText(entries.error());
        return;
    }
    lblHistory->setText(QStringLiteral("Prints of %1: %L2").arg(key).arg(entries->size()));
    for (auto it = entries->crbegin(); it != entries->crend(); ++it) {
        new QTreeWidgetItem(
            lstHistory,
            {it->printedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             it->layout, it->sides, it->reasonText, it->output, it->station, it->user});
    }
}

} // namespace vm
