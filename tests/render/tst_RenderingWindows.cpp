// Invariant: the front and back views show exactly the side a badge file holds, at the card size
// of its orientation, at the main window's right edge; what they show is what prints, at card
// size at the top-left of the printable area.
#include "app/mainMdi.h"
#include "badge/BadgeFile.h"
#include "common/SaveFile.h"
#include "demo/DemoProject.h"
#include "project/ProjectSettings.h"
#include "records/RecordLink.h"
#include "render/BadgeCanvas.h"
#include "render/RenderingWindow.h"
#include "support/FileBytes.h"
#include "support/PdfText.h"
#include "support/ScriptedDialogs.h"
#include "support/Skip.h"
#include "widgets/ScreenUnits.h"

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

class tst_RenderingWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void openExistingBuildsBothViewsForTheOrientation_data();
    void openExistingBuildsBothViewsForTheOrientation();
    void badgesOfAnotherProjectOrDatabaseLeaveBothViewsEmpty();
    void linkedRecordShowsInBothViewsAndPrintsAtCardSizeTopLeft();

private:
    QString badgePath(const QString& name) const;
    QString copyBadge(const QString& name, const QString& copy, const QString& from = {},
                      const QString& to = {}) const;

    QTemporaryDir m_dir;
    QString m_project;
    ScriptedDialogs m_dialogs;
    mainMdi* m_window = nullptr;
};

void tst_RenderingWindows::initTestCase()
{
    QString error;
    m_project = createDemoProject(m_dir.filePath(QStringLiteral("demo")), DemoOptions{30}, &error);
    QVERIFY2(!m_project.isEmpty(), qPrintable(error));
}

void tst_RenderingWindows::init()
{
    ProjectSettings::instance().reset();
    m_dialogs.clear();
    m_window = new mainMdi(m_dialogs);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QVERIFY(m_window->openProjectFile(m_project));
}

void tst_RenderingWindows::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

QString tst_RenderingWindows::badgePath(const QString& name) const
{
    return ProjectSettings::instance().BadgeDir + name + QStringLiteral(".Lyt");
}

QString tst_RenderingWindows::copyBadge(const QString& name, const QString& copy,
                                        const QString& from, const QString& to) const
{
    const QString path = m_dir.filePath(copy);
    const QByteArray bytes = fileBytes(badgePath(name)).replace(from.toUtf8(), to.toUtf8());
    return !bytes.isEmpty() && saveFileAtomically(path, bytes) ? path : QString();
}

void tst_RenderingWindows::openExistingBuildsBothViewsForTheOrientation_data()
{
    QTest::addColumn<QString>("badge");
    QTest::addColumn<QSizeF>("card");
    QTest::addColumn<int>("orientation");
    QTest::newRow("landscape") << "Staff" << QSizeF(4876, 3090) << 1;
    QTest::newRow("portrait") << "Visitor" << QSizeF(3090, 4876) << 2;
}

void tst_RenderingWindows::openExistingBuildsBothViewsForTheOrientation()
{
    QFETCH(QString, badge);
    QFETCH(QSizeF, card);
    QFETCH(int, orientation);
    ProjectSettings& settings = ProjectSettings::instance();
    const int badgesBefore = int(settings.Badges.size());

    m_dialogs.fileAnswers = {badgePath(badge)};
    m_window->mnuLoadCard->trigger();
    QCOMPARE(m_dialogs.fileRequests.size(), 1);
    QCOMPARE(m_dialogs.fileRequests[0].filter, QStringLiteral("Badge file (*.Lyt) (*.Lyt)"));
    QCOMPARE(m_dialogs.fileRequests[0].initialFolder, settings.BadgeDir);
    QVERIFY2(m_dialogs.messages.isEmpty(),
             qPrintable(m_dialogs.messageTexts().join(QLatin1Char('|'))));

    RenderingWindow* front = m_window->frmFront();
    RenderingWindow* back = m_window->frmBack();
    for (RenderingWindow* view : {front, back}) {
        QCOMPARE(view->cardSize(), card);
        QCOMPARE(view->canvas()->size(), screenSize(view, card));
        QVERIFY(view->isVisible());
    }
    const int gap = screenPixels(m_window, 240);
    QCOMPARE(front->geometry().right() + 1, m_window->mdiArea()->contentsRect().width() - gap);
    QCOMPARE(front->y(), screenPixels(m_window, 120));
    QCOMPARE(back->x(), front->x());
    QCOMPARE(back->y(), front->height() + gap);

    // The sides as the file holds them, fields still showing their references.
    SideReadResult file = loadBadgeSide(badgePath(badge), BadgeSideId::Front, settings.ProjectName,
                                        settings.DatabasePath, FieldTagRule::TableAndColumn);
    QCOMPARE(front->badgeSide().lblField.count(), file.side.lblField.count());
    QCOMPARE(front->badgeSide().lblField.at(1).Caption, QStringLiteral("<Employee.FirstName>"));
    QCOMPARE(front->badgeSide().lblField.at(1).Tag, QStringLiteral("Employee.FirstName"));
    QCOMPARE(settings.BadgeOrientation, qint16(orientation));
    QCOMPARE(settings.CurrentBadgePath, badgePath(badge));
    QCOMPARE(settings.Badges.size(), badgesBefore);
    QVERIFY(m_window->mnuEditCard->isEnabled());

    // Cancelling the dialog changes nothing.
    m_dialogs.fileRequests.clear();
    m_window->mnuLoadCard->trigger();
    QCOMPARE(m_dialogs.fileRequests.size(), 1);
    QCOMPARE(settings.CurrentBadgePath, badgePath(badge));
    QCOMPARE(front->badgeSide().lblField.count(), file.side.lblField.count());
}

void tst_RenderingWindows::badgesOfAnotherProjectOrDatabaseLeaveBothViewsEmpty()
{
    m_window->openBadgeLayout(badgePath(QStringLiteral("Visitor")));
    QVERIFY(m_window->frmFront()->badgeSide().lblField.count() > 0);
    const QString otherProject =
        copyBadge(QStringLiteral("Staff"), QStringLiteral("p.Lyt"),
                  QStringLiteral("ProjectName:Demo"), QStringLiteral("ProjectName:Other"));
    const QString otherDatabase =
        copyBadge(QStringLiteral("Staff"), QStringLiteral("d.Lyt"), QStringLiteral("DatabasePath="),
                  QStringLiteral("DatabasePath=/elsewhere"));

    m_window->openBadgeLayout(otherProject);
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{QStringLiteral("Badge Not Loaded!")}); // front only
    m_dialogs.clear();
    m_window->openBadgeLayout(otherDatabase);
    QCOMPARE(m_dialogs.messageTexts(), (QStringList{QStringLiteral("Wrong databse used!"),
                                                    QStringLiteral("Wrong databse used!")}));
    QCOMPARE(m_dialogs.messages[0].icon, MessageIcon::Exclamation);
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()}) {
        const BadgeSide& side = view->badgeSide();
        QCOMPARE(side.Label1.count() + side.lblField.count() + side.Image1.count() +
                     side.myShape1.count(),
                 0);
        QVERIFY(!side.imgPhoto.Visible && !side.imgSign.Visible);
        QCOMPARE(view->cardSize(), QSizeF(3090, 4876)); // the orientation was never reached
    }
}

void tst_RenderingWindows::linkedRecordShowsInBothViewsAndPrintsAtCardSizeTopLeft()
{
    m_window->openBadgeLayout(badgePath(QStringLiteral("Staff")));
    const StoredSettings project = ProjectSettings::instance().stored();
    DatabaseConnection db;
    QVERIFY2(db.OpenProjectDatabase(project.DatabasePath), qPrintable(db.errorText()));
    RecordLinker linker(db, project);
    QVERIFY(m_window->linkRecordToViews(linker, QStringLiteral("17")));

    const DemoPerson person = demoPerson(17);
    const BadgeSide& front = m_window->frmFront()->badgeSide();
    QCOMPARE(front.lblField.at(1).Caption, person.firstName);
    QCOMPARE(m_window->frmBack()->badgeSide().lblField.at(1).Caption, person.department);
    QVERIFY(!m_window->frmBack()->badgeSide().imgPhoto.Picture.isNull());
    QVERIFY(m_dialogs.messages.isEmpty());

    // A statement the engine rejects is reported and leaves the views as they were.
    StoredSettings broken = project;
    broken.Relations = {QStringLiteral("Employee.[NoSuchColumn]=Department.[DeptID]")};
    RecordLinker brokenLinker(db, broken);
    QVERIFY(!m_window->linkRecordToViews(brokenLinker, QStringLiteral("18")));
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Error in data linking")});
    QCOMPARE(front.lblField.at(1).Caption, person.firstName);

    if (!havePdfText())
        VM_SKIP(QStringLiteral("pdftotext (poppler-utils) is not installed"));
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        VM_SKIP(QStringLiteral("a printer is installed here: printing would not go to a PDF file"));
    const QString pdf = m_dir.filePath(QStringLiteral("front.pdf"));
    m_dialogs.fileAnswers = {pdf};
    m_window->mnuPrintFront->trigger();
    QVERIFY2(QFile::exists(pdf), qPrintable(m_dialogs.messageTexts().join(QLatin1Char('|'))));

    const QRectF printable = m_window->printer()->pageLayout().paintRect(QPageLayout::Point);
    const PdfPage page = pdfPage(pdf, 1);
    const PdfWord* first = page.find(person.firstName);
    QVERIFY2(first, qPrintable(person.firstName));
    // The field stands at Left 1980, Top 860 twips: 99 and 43 points into the printable area.
    QVERIFY2(qAbs(first->box.left() - (printable.left() + 99)) < 0.5,
             qPrintable(QString::number(first->box.left())));
    QVERIFY2(qAbs(first->box.top() - (printable.top() + 43)) < 1,
             qPrintable(QString::number(first->box.top())));
    QVERIFY(page.find(person.lastName));
    QVERIFY(!page.find(QStringLiteral("<Employee.FirstName>")));
    // Nothing of the card lies beyond its size.
    for (const PdfWord& word : page.words)
        QVERIFY(word.box.right() <= printable.left() + 4876 / 20.0 &&
                word.box.bottom() <= printable.top() + 3090 / 20.0);

    // Print Back Badge prints the back view.
    const QString backPdf = m_dir.filePath(QStringLiteral("back.pdf"));
    m_dialogs.fileAnswers = {backPdf};
    m_window->mnuPrintBack->trigger();
    QVERIFY(pdfPage(backPdf, 1).find(person.department));

    // A cancelled file dialog prints nothing.
    QFile::remove(pdf);
    m_window->mnuPrintFront->trigger();
    QVERIFY(!QFile::exists(pdf));
}

QTEST_MAIN(tst_RenderingWindows)
#include "tst_RenderingWindows.moc"
