// Invariant: the record browser lists every person of the master table, and whatever way a person
// is chosen (click, Enter, a search) both sides show that person and nobody else; a person who
// cannot be linked leaves both sides empty and the operator is told why. "+" puts the chosen
// side of each selected person on the print page, in list order, never beyond the page's limit.
// The list counts each person's prints and narrows to those never printed, those changed since
// their last print, or those holding the words typed; the person shown has their prints listed.
#include "common/FileNames.h"
#include "common/SaveFile.h"
#include "project/ProjectSettings.h"
#include "project/ProjectFile.h"
#include "records/FrmAddRec.h"
#include "records/PrintJournal.h"
#include "records/RecordIssuance.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"
#include "render/BadgeBatch.h"
#include "render/PrintPage.h"
#include "render/RenderingWindow.h"
#include "render/frmPreview.h"
#include "support/AllKindsBadge.h"
#include "support/Controls.h"
#include "support/DemoWindow.h"
#include "support/EngineRows.h"
#include "support/FileBytes.h"
#include "support/Skip.h"
#include "support/StatusChecks.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include <sqlite3.h>

#include <atomic>

using namespace vm;
using namespace vm::test;

namespace {

constexpr int People = 40;

struct AddedSlot {
    int ino;
    PrintSlot slot;
};

QtMessageHandler g_handler = nullptr;

// Counts the statements started on the window's thread by the SQLite connections it holds: on a
// slow server each would freeze the window.
struct WindowThreadStatements {
    QList<sqlite3*> traced;
    std::atomic<int> started{0};

    WindowThreadStatements()
    {
        // Another thread's connection, asked for by name, is refused with a warning: expected.
        g_handler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context,
                                              const QString& text) {
            if (!text.contains(QLatin1String("does not belong to the calling thread")))
                g_handler(type, context, text);
        });
        for (const QString& name : QSqlDatabase::connectionNames()) {
            const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
            if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
                traced << *static_cast<sqlite3* const*>(handle.constData());
        }
        qInstallMessageHandler(g_handler);
        for (sqlite3* db : traced)
            sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &count, this);
    }
    ~WindowThreadStatements()
    {
        for (sqlite3* db : traced)
            sqlite3_trace_v2(db, 0, nullptr, nullptr);
    }
    static int count(unsigned, void* self, void*, void*)
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++static_cast<WindowThreadStatements*>(self)->started;
        return 0;
    }
};

} // namespace

class tst_frmData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void listsEveryPersonAndPlacesTheViews();
    void clickAndEnterLinkThePerson_data();
    void clickAndEnterLinkThePerson();
    void badgesDropDownImportAndChange();
    void badgeFolderEitherWayAndAnotherProjectsBadgeAdopted_data();
    void badgeFolderEitherWayAndAnotherProjectsBadgeAdopted();
    void searchFindsPeopleAsTyped();
    void printPageGetsEachSelectedPersonInListOrder();
    void dailyPathFillsThePrintPage();
    void refreshKeepsThePersonAndShowsTheChanges();
    void maximisedBrowserKeepsTheViewsInFrontAndCloseCloses();
    void projectConfiguredAnewIsReadAgain();
    void aPhotographCutShortShowsNobodyAndSaysWhich();
    void aRefreshThatFailsDuringPlusEndsIt();
    void aClickWhileAPersonIsReadWins();
    void filterBarNarrowsTheListByPrints();
    void aServerAnnouncesTheShownPersonChanged();

private:
    frmData* openBrowser();
    void click(int position, Qt::KeyboardModifiers modifiers = {});
    QString keyShown(const RenderingWindow* view) const;

    QTemporaryDir m_dir;
    QString m_project;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<mainMdi> m_window;
    frmData* m_browser = nullptr;
    QList<AddedSlot> m_added;
    QList<int> m_removed;
};

void tst_frmData::initTestCase()
{
    DemoOptions options;
    options.people = People;
    options.photoSize = {60, 80};
    m_project = demoProject(m_dir.filePath(QStringLiteral("demo")), options, 18);
    QVERIFY(!m_project.isEmpty());
}

void tst_frmData::init()
{
    m_added.clear();
    m_removed.clear();
    m_window = openMainWindow(m_dialogs, m_project);
    QVERIFY(m_window);
    m_browser = openBrowser();
    QVERIFY(m_browser);
}

void tst_frmData::cleanup()
{
    m_window.reset();
}

frmData* tst_frmData::openBrowser()
{
    m_window->mnuReclist->trigger();
    auto* browser = m_window->findChild<frmData*>(QStringLiteral("frmData"));
    if (!browser)
        return nullptr;
    QSignalSpy finished(browser->records(), &RecordListModel::loadFinished);
    if (browser->records()->isLoading() && !finished.wait(30000))
        return nullptr;
    connect(browser, &frmData::addToPrintPage, this, [this](int ino, const PrintSlot& slot) {
        m_added.append({ino, slot});
    });
    connect(browser, &frmData::removeFromPrintPage, this, [this](int ino) { m_removed << ino; });
    return browser;
}

void tst_frmData::click(int position, Qt::KeyboardModifiers modifiers)
{
    QTableView* list = m_browser->Lst;
    const QModelIndex index = list->model()->index(position, 1);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualRect(index).center());
    QTRY_VERIFY(!m_browser->isLinking());
}

QString tst_frmData::keyShown(const RenderingWindow* view) const
{
    return view->record() ? view->record()->key.text() : QString();
}

void tst_frmData::listsEveryPersonAndPlacesTheViews()
{
    RecordListModel* records = m_browser->records();
    QCOMPARE(records->rowCount(), People);
    QCOMPARE(records->columnNames(), QStringList({"EmpNo", "FirstName", "LastName", "Title",
                                                  "DeptID", "HireDate", "ValidUntil", "Email"}));
    const DemoPerson third = demoPerson(3);
    QCOMPARE(records->index(2, 0).data().toString(), QStringLiteral("3"));
    QCOMPARE(records->index(2, 2).data().toString(), third.lastName);
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));

    // Beside the views, never over them.
    QVERIFY(!m_browser->geometry().intersects(m_window->frmFront()->geometry()));
    QVERIFY(m_browser->opFront->isChecked());

    // One instance: showing it again reads nothing again.
    QSignalSpy reset(records, &QAbstractItemModel::modelReset);
    m_window->mnuReclist->trigger();
    QCOMPARE(m_window->findChildren<frmData*>().size(), 1);
    QCOMPARE(reset.size(), 0);
}

void tst_frmData::clickAndEnterLinkThePerson_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("expected"); // the key of the person reached
    QTest::newRow("click") << "click" << "3";
    QTest::newRow("release outside the list") << "release outside" << "3";
    QTest::newRow("Enter") << "Enter" << "3";
    QTest::newRow("arrow key") << "arrow key" << "3";
    QTest::newRow("Ctrl+Home") << "Ctrl+Home" << "1";
    QTest::newRow("Ctrl+End") << "Ctrl+End" << QString::number(People);
    QTest::newRow("Page Down") << "Page Down" << QString();
    QTest::newRow("search") << "search" << "3";
    QTest::newRow("a click while Refresh reads") << "refresh" << "3";
}

// Whichever way the current row moves, the row marked, the person both sides show and the person
// "+" adds are one; "+" says so, and asks before a second copy of the same person and side. A
// move asks the database nothing on the window's thread, the first one after reading included.
void tst_frmData::clickAndEnterLinkThePerson()
{
    QFETCH(QString, how);
    QFETCH(QString, expected);
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    std::optional<WindowThreadStatements> counted; // Refresh closes what it traces
    if (how != QLatin1String("refresh"))
        QVERIFY(!counted.emplace().traced.isEmpty());
    QTableView* list = m_browser->Lst;
    RecordListModel* records = m_browser->records();
    const int position = 2; // EmpNo 3 has a .jpg photograph and signature
    click(how == QLatin1String("arrow key") ? position - 1 : 5);
    if (how == QLatin1String("Enter")) {
        list->setCurrentIndex(records->index(position, 0));
        QTest::keyClick(list, Qt::Key_Return);
    } else if (how == QLatin1String("arrow key")) {
        QTest::keyClick(list, Qt::Key_Down);
    } else if (how == QLatin1String("release outside")) {
        const QModelIndex index = records->index(position, 1);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(-20, -20));
    } else if (how == QLatin1String("Ctrl+Home")) {
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
    } else if (how == QLatin1String("Ctrl+End")) {
        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
    } else if (how == QLatin1String("Page Down")) {
        QTest::keyClick(list, Qt::Key_PageDown);
        expected = *records->keyText(list->currentIndex().row());
        QVERIFY(expected != QLatin1String("6"));
    } else if (how == QLatin1String("search")) {
        m_browser->txtFind->setFocus();
        const DemoPerson third = demoPerson(3);
        m_browser->txtFind->insert(
            QStringLiteral("%1.%2@").arg(third.firstName, third.lastName).toLower());
        QTRY_COMPARE(keyShown(m_window->frmFront()), expected);
    } else if (how == QLatin1String("refresh")) {
        QSignalSpy arrived(records, &QAbstractItemModel::rowsInserted);
        QSignalSpy finished(records, &RecordListModel::loadFinished);
        m_browser->cmdRefresh->click();
        QVERIFY(arrived.wait(10000));
        click(position); // chosen now: Refresh must not take the person before back
        QVERIFY(finished.size() > 0 || finished.wait(10000));
    } else {
        click(position);
    }
    QTRY_VERIFY(!m_browser->isLinking());
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
    const QModelIndexList marked = list->selectionModel()->selectedRows();
    QCOMPARE(marked.size(), 1);
    QCOMPARE(marked.first().row(), list->currentIndex().row());
    QCOMPARE(*records->keyText(marked.first().row()), expected);
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()})
        QCOMPARE(keyShown(view), expected);
    if (counted)
        QCOMPARE(counted->started, 0);
    m_browser->OsenXPButton1->click();
    QCOMPARE(m_added.size(), 1);
    QCOMPARE(m_added.last().slot.record->key.text(), expected);
    QCOMPARE(m_browser->lblStatus->text(), QStringLiteral("added: 1 on the page"));
    m_dialogs.answers = {MessageAnswer::No};
    m_browser->OsenXPButton1->click(); // the same person and side again: asked, and refused
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_added.size(), 1);
    if (how != QLatin1String("click"))
        return;

    m_dialogs.clear();
    const DemoPerson person = demoPerson(3);
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()})
        QCOMPARE(keyShown(view), QStringLiteral("3"));
    QVERIFY(fieldCaptions(m_window->frmFront()->shownSide()).contains(person.firstName));
    QVERIFY(fieldCaptions(m_window->frmBack()->shownSide()).contains(person.department));
    QVERIFY(!m_browser->Image1->pixmap().isNull() && !m_browser->Image2->pixmap().isNull());

    // A person without his child row: nobody's data on either side, and a message saying why;
    // while it stands, the previews no longer hold the person before.
    bool picturesWhileAsked = false;
    m_dialogs.whileAsked = [&] {
        picturesWhileAsked =
            !m_browser->Image1->pixmap().isNull() || !m_browser->Image2->pixmap().isNull();
    };
    click(17); // EmpNo 18
    m_dialogs.whileAsked = nullptr;
    QVERIFY(!picturesWhileAsked);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(QLatin1String("Department")),
             qPrintable(m_dialogs.messages.first().text));
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()}) {
        QVERIFY(!view->record());
        const QStringList shown = fieldCaptions(view->shownSide());
        QVERIFY(!shown.contains(person.firstName) && !shown.contains(person.department));
    }
    QVERIFY(m_browser->Image1->pixmap().isNull() && m_browser->Image2->pixmap().isNull());
}

void tst_frmData::badgesDropDownImportAndChange()
{
    ProjectSettings& project = ProjectSettings::instance();
    project.setBadges({QStringLiteral("Visitor"), QStringLiteral("Staff")}); // in stored order
    QCOMPARE(itemTexts(m_browser->cmbBadges), QStringList({"Visitor", "Staff"}));

    QSignalSpy change(m_browser, &frmData::changeLayoutRequested);
    m_browser->cmdChange->click(); // no badge yet: nothing to change
    QCOMPARE(change.size(), 0);

    chooseEntry(m_browser->cmbBadges, QStringLiteral("Visitor"));
    QCOMPARE(project.currentBadgePath(), project.BadgeDir + QStringLiteral("Visitor.lyt"));
    QCOMPARE(m_window->frmFront()->cardSize(), QSizeF(3090, 4876));
    QVERIFY(!m_window->frmFront()->layout().lblField.isEmpty());
    m_browser->cmdChange->click();
    QCOMPARE(change.size(), 1);
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmDesigner"))); // with the badge chosen

    // Import: a badge of the folder already listed is loaded but not listed twice; one from
    // elsewhere is added once; a cancelled dialog changes nothing.
    const QString staff = project.BadgeDir + QStringLiteral("Staff.Lyt");
    const QString guest = m_dir.filePath(QStringLiteral("Guest.Lyt"));
    QVERIFY(saveFileAtomically(guest, fileBytes(staff)).ok());
    m_dialogs.fileAnswers = {staff, guest, guest, QString()};
    for (int i = 0; i < 4; ++i)
        m_browser->cmdImportBadge->click();
    QCOMPARE(m_dialogs.fileRequests.size(), 4);
    QCOMPARE(m_dialogs.fileRequests[0].initialFolder, project.BadgeDir);
    QCOMPARE(project.badges(), QStringList({"Visitor", "Staff", "Guest"}));
    QCOMPARE(project.currentBadgePath(), guest);
    QCOMPARE(m_window->frmFront()->cardSize(), QSizeF(4876, 3090));
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

void tst_frmData::badgeFolderEitherWayAndAnotherProjectsBadgeAdopted_data()
{
    QTest::addColumn<bool>("slash");
    QTest::newRow("folder ending in /") << true;
    QTest::newRow("folder without /") << false;
}

// A badge of another project is refused with its project's name; adopted, a copy lands in this
// project's badge folder (however the folder is written) and the chosen file stays as it was. A
// badge of this project under the same name is never overwritten.
void tst_frmData::badgeFolderEitherWayAndAnotherProjectsBadgeAdopted()
{
    QFETCH(bool, slash);
    ProjectSettings& project = ProjectSettings::instance();
    const QString folder = withTrailingSlash(project.BadgeDir);
    project.BadgeDir = slash ? folder : folder.chopped(1);
    const QString copy = folder + QStringLiteral("Guest.Lyt");
    const auto removeCopy = qScopeGuard([&] { QFile::remove(copy); });
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    QCOMPARE(project.currentBadgePath(), folder + QStringLiteral("Staff.lyt"));
    QVERIFY(!m_window->frmFront()->layout().lblField.isEmpty());

    QTemporaryDir elsewhere;
    QByteArray bytes = fileBytes(folder + QStringLiteral("Staff.Lyt"));
    const qsizetype second = bytes.indexOf("\r\n", bytes.indexOf("\r\n") + 2);
    bytes.replace(0, second, "\"ProjectName:Elsewhere\"\r\n\"DatabasePath=/elsewhere/db.sqlite\"");
    const QStringList theirs = {elsewhere.filePath(QStringLiteral("Guest.Lyt")),
                                elsewhere.filePath(QStringLiteral("Staff.Lyt"))};
    for (const QString& file : theirs)
        QVERIFY(saveFileAtomically(file, bytes).ok());
    const QByteArray ours = fileBytes(folder + QStringLiteral("Staff.Lyt"));

    m_dialogs.fileAnswers = {theirs[0], theirs[0], theirs[1]};
    m_dialogs.answers = {MessageAnswer::No, MessageAnswer::Yes, MessageAnswer::Yes};
    for (int i = 0; i < 3; ++i)
        m_browser->cmdImportBadge->click();
    const QList<OperatorMessage>& said = m_dialogs.messages;
    QCOMPARE(said.size(), 4);
    QVERIFY2(said[0].detail.contains(QLatin1String("Elsewhere")), qPrintable(said[0].detail));
    QVERIFY2(said[3].detail.contains(QLatin1String("already")), qPrintable(said[3].detail));
    QCOMPARE(fileBytes(theirs[0]), bytes);
    QCOMPARE(fileBytes(folder + QStringLiteral("Staff.Lyt")), ours);
    QVERIFY(fileBytes(copy).startsWith("\"ProjectName:" + project.ProjectName.toUtf8() + '"'));
    QCOMPARE(project.currentBadgePath(), copy);
    QCOMPARE(project.badges().count(QStringLiteral("Guest")), 1);
    QVERIFY(!m_window->frmFront()->layout().lblField.isEmpty());
}

void tst_frmData::searchFindsPeopleAsTyped()
{
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    RecordListModel* records = m_browser->records();
    // The first last name the demo gives several people, and those people in table order.
    QMap<QString, QStringList> byName;
    QString wanted;
    for (int n = 1; n <= People; ++n) {
        QStringList& keys = byName[demoPerson(n).lastName];
        keys << QString::number(n);
        if (wanted.isEmpty() && keys.size() == 2)
            wanted = demoPerson(n).lastName;
    }
    const QStringList keys = byName.value(wanted);
    QVERIFY(keys.size() >= 2);

    // Ctrl+F, which is also the main window's Print Front Badge, goes to the search here.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_browser->Lst->setFocus();
    QTest::keyClick(m_browser->Lst, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), m_browser->txtFind);

    QSignalSpy found(records, &RecordListModel::found);
    auto typeText = [&](const QString& text) {
        m_browser->txtFind->setFocus();
        m_browser->txtFind->selectAll();
        m_browser->txtFind->insert(text);
    };
    typeText(wanted.toUpper());
    // A cell to search for later, read while every row is in the list.
    int email = 0;
    while (records->headerData(email, Qt::Horizontal).toString() != QLatin1String("Email"))
        QVERIFY(++email < records->columnCount());
    const QString emailOf18 = records->index(17, email).data().toString(); // EmpNo 18, unique
    QTRY_COMPARE(keyShown(m_window->frmFront()), keys[0]);
    QCOMPARE(*records->keyText(m_browser->Lst->currentIndex().row()), keys[0]);
    QTest::keyClick(m_browser->txtFind, Qt::Key_Return); // the next one
    QTRY_COMPARE(keyShown(m_window->frmFront()), keys[1]);

    found.clear();
    typeText(QStringLiteral("nobody by this name"));
    // Asked again when the list has narrowed to nobody, the answer may come twice.
    QTRY_VERIFY(!found.isEmpty());
    QCOMPARE(found.last().at(1).toInt(), -1);
    // The list narrowed to nobody marks nobody, and so shows nobody.
    QTRY_VERIFY(!m_window->frmFront()->record() && !m_window->frmBack()->record());
    QVERIFY(m_browser->lblStatus->text().contains(QLatin1String("nobody by this name")));

    // A person found without his child row: nobody shown, and the reason in the status line
    // rather than a box that would swallow the next keystrokes.
    typeText(emailOf18);
    QTRY_VERIFY(m_browser->lblStatus->toolTip().contains(QLatin1String("Department")));
    QVERIFY(!m_window->frmFront()->record());
    QVERIFY(!m_window->frmBack()->record());
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
    typeText(wanted);
    QTRY_COMPARE(keyShown(m_window->frmFront()), keys[0]);
    QVERIFY(!m_browser->lblStatus->toolTip().contains(QLatin1String("Department")));

    // Sorted by the number, highest first: the list, narrowed to the matches, starts with the
    // last in table order.
    QSignalSpy sorted(records, &RecordListModel::sortFinished);
    m_browser->Lst->sortByColumn(0, Qt::DescendingOrder);
    QVERIFY(sorted.wait(10000));
    QCOMPARE(*records->keyText(0), keys.last());
    QCOMPARE(records->rowCount(), keys.size());
    typeText(wanted.toLower());
    QTRY_COMPARE(keyShown(m_window->frmFront()), keys.last());
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

void tst_frmData::printPageGetsEachSelectedPersonInListOrder()
{
    m_browser->OsenXPButton1->click(); // no badge chosen: nothing goes on the page
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_added.isEmpty());
    m_dialogs.clear();

    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    click(5);
    click(1, Qt::ControlModifier);
    click(17, Qt::ControlModifier); // cannot be linked: left out and named
    click(9, Qt::ControlModifier);
    m_browser->OsenXPButton1->click();
    QTRY_COMPARE(m_dialogs.messages.size(), 2); // the failed link of the click, then the summary
    QVERIFY(m_dialogs.messages.last().detail.contains(QLatin1String("Department")));
    QCOMPARE(m_added.size(), 3);
    QVERIFY(m_browser->OsenXPButton1->isEnabled());
    QStringList keys;
    for (int i = 0; i < m_added.size(); ++i) {
        QCOMPARE(m_added[i].ino, i);
        QVERIFY(m_added[i].slot.record);
        keys << m_added[i].slot.record->key.text();
        const DemoPerson person = demoPerson(keys.last().toInt());
        QVERIFY(fieldCaptions(m_added[i].slot.shown()).contains(person.firstName));
        // The page keeps picture files, not pixels, and decodes them when it draws.
        QVERIFY(m_added[i].slot.record->photo.isNull());
        QVERIFY(!m_added[i].slot.drawnRecord().photo.isNull());
    }
    QCOMPARE(keys, QStringList({"2", "6", "10"}));
    QCOMPARE(m_browser->PageCount(), 3);

    // One person, the back side: exactly what the back view shows.
    m_dialogs.clear();
    click(3);
    m_browser->opBack->setChecked(true);
    m_browser->OsenXPButton1->click();
    QCOMPARE(m_added.size(), 4);
    QCOMPARE(m_added[3].ino, 3);
    QCOMPARE(m_added[3].slot.record->key.text(), QStringLiteral("4"));
    QCOMPARE(fieldCaptions(m_added[3].slot.shown()),
             fieldCaptions(m_window->frmBack()->shownSide()));

    // "-" takes off the badge added last, down to an empty page.
    for (int i = 0; i < 5; ++i)
        m_browser->OsenXPButton3->click();
    QCOMPARE(m_removed, QList<int>({3, 2, 1, 0}));
    QCOMPARE(m_browser->PageCount(), 0);

    // Near the limit, five people selected: two go on, then the page is full.
    m_browser->setPageCount(frmData::PageLimit - 2);
    click(20);
    click(24, Qt::ShiftModifier);
    m_browser->OsenXPButton1->click();
    QTRY_VERIFY(m_browser->OsenXPButton1->isEnabled());
    QCOMPARE(m_dialogs.messages.last().text, QStringLiteral("Sorry, Out of page's limit!"));
    QCOMPARE(m_dialogs.messages.last().icon, MessageIcon::Exclamation);
    QCOMPARE(m_added.size(), 6);
    QCOMPARE(m_added[4].ino, frmData::PageLimit - 2);
    QCOMPARE(m_added[5].ino, frmData::PageLimit - 1);
    QCOMPARE(m_added[5].slot.record->key.text(), QStringLiteral("22"));
    QCOMPARE(m_browser->PageCount(), frmData::PageLimit);
}

// Choose a person, "+", three times; "-"; Preview: the page holds the first two, each with both
// sides, laid out for the badge's orientation. A browser opened again goes on after them.
void tst_frmData::dailyPathFillsThePrintPage()
{
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    for (int position : {2, 5, 8}) {
        click(position);
        m_browser->OsenXPButton1->click();
    }
    m_browser->OsenXPButton3->click();
    m_browser->OsenXPButton2->click();
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));

    auto* preview = qobject_cast<frmPreview*>(m_window->loadedWindow(QStringLiteral("frmPreview")));
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->orientation(), Orientation::Landscape);
    QCOMPARE(preview->itemCount(), 2);
    const QStringList people = {"3", "6"};
    for (int ino = 0; ino < 2; ++ino) {
        const PrintSlot* slot = preview->page().at(ino);
        QVERIFY(slot && slot->record);
        QCOMPARE(slot->record->key.text(), people[ino]);
        QCOMPARE(fieldCaptions(slot->layout), fieldCaptions(m_window->frmFront()->layout()));
        QVERIFY(slot->reverse);
        QCOMPARE(fieldCaptions(*slot->reverse), fieldCaptions(m_window->frmBack()->layout()));
        const DemoPerson person = demoPerson(people[ino].toInt());
        QVERIFY(fieldCaptions(*slot->shownReverse()).contains(person.department));
    }
    QVERIFY(!preview->page().at(2));

    m_window->closeProject(); // the page keeps its badges
    QVERIFY(m_window->openProjectFile(m_project));
    m_browser = openBrowser();
    QCOMPARE(m_browser->PageCount(), 2);
}

void tst_frmData::refreshKeepsThePersonAndShowsTheChanges()
{
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    click(9);
    QCOMPARE(keyShown(m_window->frmFront()), QStringLiteral("10"));

    // Changed in the table editor: the browser offers to read the table again.
    m_browser->cmdEditRec->click();
    auto* editor = qobject_cast<FrmAddRec*>(m_window->loadedWindow(QStringLiteral("FrmAddRec")));
    QVERIFY(editor);
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(ProjectSettings::instance().DatabasePath));
    QCOMPARE(db.execute("update Employee set FirstName = 'Renamed' where EmpNo = 10").outcome,
             DatabaseConnection::Outcome::Ok);
    Q_EMIT editor->tableChanged();
    QVERIFY(m_browser->lblStatus->text().contains(QLatin1String("Refresh")));

    QSignalSpy finished(m_browser->records(), &RecordListModel::loadFinished);
    m_browser->cmdRefresh->click();
    QVERIFY(finished.wait(10000));
    QCOMPARE(*m_browser->records()->keyText(m_browser->Lst->currentIndex().row()),
             QStringLiteral("10"));
    QTRY_VERIFY(!m_browser->isLinking());
    QVERIFY(fieldCaptions(m_window->frmFront()->shownSide()).contains(QStringLiteral("Renamed")));

    // The key given to someone else at another station, unknown to the list: the row takes the
    // name the badge shows, and the status line says so.
    QCOMPARE(db.execute("update Employee set FirstName = 'Other', LastName = 'Person' "
                        "where EmpNo = 12")
                 .outcome,
             DatabaseConnection::Outcome::Ok);
    click(11);
    QCOMPARE(keyShown(m_window->frmFront()), QStringLiteral("12"));
    QCOMPARE(m_browser->records()->index(11, 1).data().toString(), QStringLiteral("Other"));
    QCOMPARE(m_browser->records()->index(11, 2).data().toString(), QStringLiteral("Person"));
    QVERIFY2(m_browser->lblStatus->text().contains(QLatin1String("LastName")),
             qPrintable(m_browser->lblStatus->text()));
    click(12); // unchanged: nothing said
    QVERIFY(!m_browser->lblStatus->text().contains(QLatin1String("changed")));

    // Changed at another station while shown, learnt of as the window comes back to the front:
    // read again without a click, the row marked. Then deleted: nobody shown, the row marked gone.
    RecordListModel* records = m_browser->records();
    QVERIFY(!records->isMarked(12) && records->isMarked(11));
    QCOMPARE(db.execute("update Employee set FirstName = 'Later' where EmpNo = 13").outcome,
             DatabaseConnection::Outcome::Ok);
    m_browser->checkForChanges();
    QTRY_VERIFY(fieldCaptions(m_window->frmFront()->shownSide()).contains(QStringLiteral("Later")));
    QVERIFY(records->isMarked(12));
    QCOMPARE(records->index(12, 1).data().toString(), QStringLiteral("Later"));
    QCOMPARE(db.execute("delete from Employee where EmpNo = 13").outcome,
             DatabaseConnection::Outcome::Ok);
    m_browser->checkForChanges();
    QTRY_VERIFY(!m_window->frmFront()->record() && !m_browser->isLinking());
    QVERIFY(records->index(12, 1).data(Qt::FontRole).value<QFont>().strikeOut());
    QVERIFY2(m_browser->lblStatus->text().contains(QLatin1String("no longer in the table")),
             qPrintable(m_browser->lblStatus->text()));
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

// A slow database (another station writing holds readers up): the window answers, nobody is
// shown meanwhile, and the person clicked last is the one marked, shown, and put on the page by
// a "+" pressed before he was read.
void tst_frmData::aClickWhileAPersonIsReadWins()
{
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    click(0);
    DatabaseConnection other;
    QVERIFY(other.OpenProjectDatabase(ProjectSettings::instance().DatabasePath));
    QCOMPARE(other.execute("begin exclusive").error, QString());
    QTableView* list = m_browser->Lst;
    for (int position : {2, 4})
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(position, 1)).center());
    QTest::qWait(200);
    QVERIFY(m_browser->isLinking());
    QVERIFY(!m_window->frmFront()->record() && !m_window->frmBack()->record());
    m_browser->OsenXPButton1->click();
    QVERIFY(m_added.isEmpty());
    QCOMPARE(other.execute("rollback").error, QString());

    QTRY_VERIFY(!m_browser->isLinking());
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->currentIndex().row(), 4);
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()})
        QCOMPARE(keyShown(view), QStringLiteral("5"));
    QCOMPARE(m_added.size(), 1);
    QCOMPARE(m_added.first().slot.record->key.text(), QStringLiteral("5"));
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

void tst_frmData::maximisedBrowserKeepsTheViewsInFrontAndCloseCloses()
{
    m_browser->showMaximized();
    auto inFront = [&](QMdiSubWindow* view) {
        const QList<QMdiSubWindow*> stacking =
            m_window->mdiArea()->subWindowList(QMdiArea::StackingOrder);
        return stacking.indexOf(view) > stacking.indexOf(m_browser);
    };
    QTRY_VERIFY(inFront(m_window->frmFront()) && inFront(m_window->frmBack()));
    // The list stops short of the views.
    const QRect list(m_browser->Lst->mapTo(m_window->mdiArea()->viewport(), QPoint(0, 0)),
                     m_browser->Lst->size());
    QVERIFY(!list.intersects(m_window->frmFront()->geometry()));

    QTest::mouseClick(m_browser->Label2, Qt::LeftButton);
    QTRY_VERIFY(!m_window->loadedWindow(QStringLiteral("frmData")));
}

void tst_frmData::projectConfiguredAnewIsReadAgain()
{
    click(9);
    StoredSettings changed = ProjectSettings::instance().stored();
    changed.MasterTable = QStringLiteral("Department");
    changed.UniqueField = QStringLiteral("DeptID");
    changed.DataTables.clear();
    changed.Relations.clear();
    changed.PlaceImages = 0;
    changed.PhotoField = changed.SignField = NoneField;
    QSignalSpy finished(m_browser->records(), &RecordListModel::loadFinished);
    ProjectSettings::instance().replace(changed, ProjectSettings::instance().ProjectFile);
    QVERIFY(finished.wait(10000));
    QCOMPARE(m_browser->records()->columnNames().first(), QStringLiteral("DeptID"));
    QCOMPARE(m_browser->records()->rowCount(), 7);
    QVERIFY(!m_browser->Lst->selectionModel()->hasSelection()); // nobody of the old table
    click(2);
    QCOMPARE(keyShown(m_window->frmFront()), QStringLiteral("30"));
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

// It would print half grey: nobody is shown, and the message names the file.
void tst_frmData::aPhotographCutShortShowsNobodyAndSaysWhich()
{
    const QString photo = m_dir.filePath(QStringLiteral("demo/Photos/3.jpg"));
    const QByteArray whole = fileBytes(photo);
    QVERIFY(!whole.isEmpty());
    const auto restore = qScopeGuard([&] { VM_VERIFY_OK(saveFileAtomically(photo, whole)); });
    QVERIFY(QFile::resize(photo, whole.size() / 2));
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    click(2); // EmpNo 3
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(photo + QStringLiteral(" is cut short")),
             qPrintable(m_dialogs.messages.first().text));
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()})
        QVERIFY(!view->record());
    QVERIFY(m_browser->Image1->pixmap().isNull());
}

// "+" for many people links them a few at a time; a Refresh in between that cannot read the
// database leaves nobody to link them with: the rest are left out and said, nothing crashes.
void tst_frmData::aRefreshThatFailsDuringPlusEndsIt()
{
    DemoOptions options;
    options.people = 1200; // more than are linked before Refresh, on any machine
    options.pictures = false;
    const QString many = demoProject(m_dir.filePath(QStringLiteral("many")), options);
    QVERIFY(!many.isEmpty());
    m_window->closeProject();
    QVERIFY(m_window->openProjectFile(many));
    m_browser = openBrowser();
    QVERIFY(m_browser);
    chooseEntry(m_browser->cmbBadges, QStringLiteral("Staff"));
    m_browser->Lst->selectAll();
    m_browser->OsenXPButton1->click();
    QVERIFY2(m_browser->lblStatus->text().startsWith(QLatin1String("Putting people")),
             qPrintable(m_browser->lblStatus->text()));
    QTRY_VERIFY(!m_added.isEmpty());

    ProjectSettings::instance().DatabasePath = m_dir.filePath(QStringLiteral("gone.sqlite"));
    m_browser->cmdRefresh->click();
    QTRY_VERIFY(m_browser->OsenXPButton1->isEnabled());
    const QStringList said = m_dialogs.messageTexts();
    QVERIFY2(said.join('\n').contains(QLatin1String("could not be put on the print page")),
             qPrintable(said.join('\n')));
    QVERIFY(!m_added.isEmpty() && m_added.size() < frmData::PageLimit);
    QCOMPARE(m_browser->PageCount(), m_added.size());
}

void tst_frmData::filterBarNarrowsTheListByPrints()
{
    // People 3 and 5 printed; then 5's name changes.
    const ProjectSettings& settings = ProjectSettings::instance();
    IssuanceJournal journal(settings.ProjectFile, settings.stored());
    BadgeBatchRequest request;
    request.projectFile = settings.ProjectFile;
    request.badge = QStringLiteral("Staff");
    request.keys = {QStringLiteral("3"), QStringLiteral("5")};
    request.output = m_dir.filePath(QStringLiteral("issued.pdf"));
    request.journal = &journal;
    const BadgeBatchResult printed = renderBadgeBatch(request, [](const QString&) {});
    QVERIFY(printed.recorded);
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(settings.DatabasePath));
    QVERIFY(db.execute("update Employee set LastName = 'Changed' where EmpNo = 5").error.isEmpty());
    const auto restore = qScopeGuard([&] {
        db.execute(QStringLiteral("update Employee set LastName = ? where EmpNo = 5"),
                   {demoPerson(5).lastName});
    });

    RecordIssuance& issuance = *m_browser->issuance();
    QSignalSpy read(&issuance, &RecordIssuance::summaryRead);
    m_browser->cmdRefresh->click();
    QVERIFY(read.wait(10000));
    RecordListModel* records = m_browser->records();
    QTRY_VERIFY(!records->isLoading());
    const int printedColumn = records->printedColumn();
    QCOMPARE(records->headerData(printedColumn, Qt::Horizontal).toString(), "Printed");
    QCOMPARE(records->headerData(printedColumn + 1, Qt::Horizontal).toString(), "Last printed");
    auto keys = [&] {
        QStringList shown;
        for (int position = 0; position < records->rowCount(); ++position)
            shown << *records->keyText(position);
        return shown;
    };
    const int three = records->positionOfKey("3");
    QCOMPARE(records->index(three, printedColumn).data().toInt(), 1);
    QVERIFY(!records->index(three, printedColumn + 1).data().toString().isEmpty());
    QCOMPARE(records->index(records->positionOfKey("4"), printedColumn).data().toInt(), 0);

    const int everybody = records->rowCount(); // earlier cases may have deleted someone
    QSignalSpy filtered(records, &RecordListModel::filterFinished);
    issuance.optNotPrinted->click();
    QVERIFY(filtered.wait(10000));
    QCOMPARE(records->rowCount(), everybody - 2);
    QVERIFY(!keys().contains("3") && !keys().contains("5"));
    auto counted = [&] {
        return m_browser->lblStatus->text().startsWith(
            QStringLiteral("%1 of %2 records").arg(records->rowCount()).arg(everybody));
    };
    QVERIFY2(counted(), qPrintable(m_browser->lblStatus->text()));
    // Only 5 changed since printed.
    QSignalSpy compared(&issuance, &RecordIssuance::changesFound);
    issuance.optChanged->click();
    QVERIFY(compared.wait(10000));
    QTRY_COMPARE(keys(), QStringList{"5"});
    // The search text narrows whatever is shown: all who hold the name typed.
    issuance.optAll->click();
    const QString name = demoPerson(3).lastName;
    m_browser->txtFind->setFocus();
    QTest::keyClicks(m_browser->txtFind, name);
    QTRY_VERIFY(!keys().isEmpty() && keys().size() < everybody);
    QTRY_VERIFY2(counted(), qPrintable(m_browser->lblStatus->text()));
    for (int position = 0; position < records->rowCount(); ++position)
        QVERIFY(records->index(position, 2).data().toString().contains(name, Qt::CaseInsensitive) ||
                demoPerson(keys()[position].toInt()).firstName.contains(name));
    QTRY_COMPARE(keyShown(m_window->frmFront()), keys().first());

    // The prints of the person shown.
    click(keys().indexOf("3"));
    QTRY_COMPARE(keyShown(m_window->frmFront()), QStringLiteral("3"));
    QTRY_COMPARE(issuance.lstHistory->topLevelItemCount(), 1);
    QCOMPARE(issuance.lstHistory->topLevelItem(0)->text(1), QStringLiteral("Staff"));
    QVERIFY(!issuance.optAll->accessibleName().isEmpty() &&
            !issuance.lstHistory->accessibleName().isEmpty());

    // Sorted by prints, the narrowed list keeps its person marked and shown, not read again.
    m_browser->Lst->sortByColumn(printedColumn, Qt::DescendingOrder);
    QTRY_VERIFY(!records->isSorting() && !records->isFiltering());
    QCOMPARE(keys().first(), QStringLiteral("3"));
    QCOMPARE(records->keyText(m_browser->Lst->currentIndex().row()), QStringLiteral("3"));
    QVERIFY(!m_browser->isLinking() && keyShown(m_window->frmFront()) == QStringLiteral("3"));
    // Read again, the list is narrowed and counted as before.
    m_browser->cmdRefresh->click();
    QVERIFY(read.wait(10000));
    QTRY_VERIFY(!records->isLoading() && !records->isFiltering() && !records->isSorting());
    QTRY_VERIFY2(counted(), qPrintable(m_browser->lblStatus->text()));
    QCOMPARE(keys().first(), QStringLiteral("3"));
    // Filtered out, the person shown is shown no more: no row is marked for him.
    m_browser->txtFind->selectAll();
    QTest::keyClick(m_browser->txtFind, Qt::Key_Backspace);
    QTRY_VERIFY(!records->isFiltering() && records->rowCount() == everybody);
    issuance.optNotPrinted->click();
    QTRY_VERIFY(!records->isFiltering() && !keys().contains("3"));
    QVERIFY(!m_browser->Lst->currentIndex().isValid());
    QTRY_VERIFY(!m_window->frmFront()->record() && !m_window->frmBack()->record());
    QVERIFY(m_browser->Image1->pixmap().isNull());
}

// On a server that announces changes, the person shown is read again as soon as another station
// changes or deletes him: no click, no Refresh.
void tst_frmData::aServerAnnouncesTheShownPersonChanged()
{
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    ScratchDatabase scratch(DatabaseEngine::PostgreSQL);
    const QString path = scratch.build({R"(create table "Staff" ("ID" integer, "Name" text))",
                                        R"(insert into "Staff" values (1, 'Ada'), (2, 'Bob'))"});
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    StoredSettings project;
    project.ProjectName = QStringLiteral("Shared");
    project.DatabasePath = path;
    project.MasterTable = QStringLiteral("Staff");
    project.UniqueField = QStringLiteral("ID");
    const QString file = m_dir.filePath(QStringLiteral("Shared.Prj"));
    VM_VERIFY_OK(WriteProjectFile(project, file));
    m_window->closeProject();
    QVERIFY(m_window->openProjectFile(file));
    m_browser = openBrowser();
    QVERIFY(m_browser);
    m_dialogs.clear();
    click(0);
    QVERIFY(m_window->frmFront()->record());

    DatabaseConnection& other = scratch.connection();
    QCOMPARE(other.execute(R"(update "Staff" set "Name" = 'Adele' where "ID" = 1)").error,
             QString());
    RecordListModel* records = m_browser->records();
    QTRY_COMPARE(records->index(0, 1).data().toString(), QStringLiteral("Adele"));
    QVERIFY(records->isMarked(0) && !records->isMarked(1));
    QCOMPARE(m_window->frmFront()->record()->values.value(QStringLiteral("Name")).toString(),
             QStringLiteral("Adele"));
    QCOMPARE(other.execute(R"(delete from "Staff" where "ID" = 1)").error, QString());
    QTRY_VERIFY(!m_window->frmFront()->record() && !m_browser->isLinking());
    QVERIFY(records->index(0, 1).data(Qt::FontRole).value<QFont>().strikeOut());
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
}

QTEST_MAIN(tst_frmData)
#include "tst_frmData.moc"
