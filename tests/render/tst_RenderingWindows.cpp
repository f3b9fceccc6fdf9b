// Invariant: the front and back views show exactly the side a badge file holds, at the card size
// of its orientation, at the main window's right edge, filled with one whole record or with
// nobody's data; what they show is what prints, at card size at the top-left of the printable
// area, and nothing beyond the card prints.
#include "badge/BadgeFile.h"
#include "common/SaveFile.h"
#include "records/RecordLink.h"
#include "render/BadgeCanvas.h"
#include "render/RenderingWindow.h"
#include "support/DemoWindow.h"
#include "support/FileBytes.h"
#include "support/Skip.h"
#include "widgets/ScreenUnits.h"

#include <QMdiArea>
#include <QPrinter>
#include <QTemporaryDir>

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
    void aCutOffBadgeShowsWhatWasReadWholeAndSaysWhereItEnds();
    void linkedRecordShowsInBothViewsAndPrintsAtCardSizeTopLeft();
    void incompleteLinksLeaveNobodyOnEitherView_data();
    void incompleteLinksLeaveNobodyOnEitherView();
    void printingStopsAtTheCardEdge();

private:
    QString badgePath(const QString& name) const;
    bool link(const QString& key,
              const StoredSettings& project = ProjectSettings::instance().stored());
    QString copyBadge(const QString& name, const QString& copy, const QString& from = {},
                      const QString& to = {}) const;

    QTemporaryDir m_dir;
    QString m_project;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<mainMdi> m_window;
    DatabaseConnection m_db;
};

void tst_RenderingWindows::initTestCase()
{
    // Person 18's department row goes missing.
    m_project = demoProject(m_dir.filePath(QStringLiteral("demo")), DemoOptions{30}, 18);
    QVERIFY(!m_project.isEmpty());
}

void tst_RenderingWindows::init()
{
    m_window = openMainWindow(m_dialogs, m_project);
    QVERIFY(m_window);
    m_window->openBadgeLayout(badgePath(QStringLiteral("Staff")));
    QVERIFY(m_db.OpenProjectDatabase(ProjectSettings::instance().DatabasePath));
}

void tst_RenderingWindows::cleanup()
{
    m_window.reset();
    m_dialogs.clear();
}

bool tst_RenderingWindows::link(const QString& key, const StoredSettings& project)
{
    RecordLinker linker(m_db, project);
    return m_window->linkRecordToViews(linker, *linker.keyFromText(key));
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
    const int badgesBefore = int(settings.badges().size());

    m_dialogs.fileAnswers = {badgePath(badge)};
    m_window->mnuLoadCard->trigger();
    QCOMPARE(m_dialogs.fileRequests.size(), 1);
    QCOMPARE(m_dialogs.fileRequests[0].filter, QStringLiteral("Badge file (*.Lyt)"));
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
    const int gap = screenPixels(m_window.get(), 240);
    QCOMPARE(front->geometry().right() + 1, m_window->mdiArea()->contentsRect().width() - gap);
    QCOMPARE(front->y(), screenPixels(m_window.get(), 120));
    QCOMPARE(back->x(), front->x());
    QCOMPARE(back->y(), front->height() + gap);

    // The sides as the file holds them, fields still showing their references.
    SideReadResult file = loadBadgeSide(badgePath(badge), BadgeSideId::Front, settings.ProjectName,
                                        settings.DatabasePath, FieldTagRule::TableAndColumn);
    QCOMPARE(front->badgeSide().lblField.count(), file.side.lblField.count());
    QCOMPARE(front->badgeSide().lblField.at(1).Caption, QStringLiteral("<Employee.FirstName>"));
    QCOMPARE(front->badgeSide().lblField.at(1).Tag, QStringLiteral("Employee.FirstName"));
    QCOMPARE(settings.badgeOrientation(), qint16(orientation));
    QCOMPARE(settings.currentBadgePath(), badgePath(badge));
    QCOMPARE(settings.badges().size(), badgesBefore);
    QVERIFY(m_window->mnuEditCard->isEnabled());

    // Cancelling the dialog changes nothing.
    m_dialogs.fileRequests.clear();
    m_window->mnuLoadCard->trigger();
    QCOMPARE(m_dialogs.fileRequests.size(), 1);
    QCOMPARE(settings.currentBadgePath(), badgePath(badge));
    QCOMPARE(front->badgeSide().lblField.count(), file.side.lblField.count());
}

void tst_RenderingWindows::badgesOfAnotherProjectOrDatabaseLeaveBothViewsEmpty()
{
    m_window->openBadgeLayout(badgePath(QStringLiteral("Visitor"))); // portrait
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

void tst_RenderingWindows::aCutOffBadgeShowsWhatWasReadWholeAndSaysWhereItEnds()
{
    const QString staff = badgePath(QStringLiteral("Staff"));
    const QByteArray bytes = fileBytes(staff);
    const ProjectSettings& settings = ProjectSettings::instance();
    const BadgeLayoutRead whole = loadBadgeLayout(
        staff, settings.ProjectName, settings.DatabasePath, FieldTagRule::TableAndColumn);
    QVERIFY(whole.endedEarly.isEmpty() && whole.back.Label1.count() > 1);

    // Cut inside the back's second comment: the front whole, the back's first comment.
    const qsizetype secondComment = bytes.indexOf("\"Comment:2\"", bytes.indexOf("BACK SIDE"));
    QVERIFY(secondComment > 0);
    const QString cutInBack = m_dir.filePath(QStringLiteral("CutInBack.Lyt"));
    QVERIFY(saveFileAtomically(cutInBack, bytes.left(secondComment + 40)));
    m_window->openBadgeLayout(cutInBack);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages[0].text,
             QStringLiteral("The badge file %1 ends early: the back side is cut off at comment 2 "
                            "of %2. Only the elements read whole are shown.")
                 .arg(QDir::toNativeSeparators(cutInBack))
                 .arg(whole.back.Label1.count()));
    QCOMPARE(m_dialogs.messages[0].icon, MessageIcon::Exclamation);
    const BadgeSide& front = m_window->frmFront()->badgeSide();
    const BadgeSide& back = m_window->frmBack()->badgeSide();
    QCOMPARE(front.lblField.count(), whole.front.lblField.count());
    QCOMPARE(front.myShape1.count(), whole.front.myShape1.count());
    QCOMPARE(back.Label1.count(), 1);
    QCOMPARE(back.Label1.at(1), whole.back.Label1.at(1));
    QVERIFY(m_window->mnuEditCard->isEnabled());

    // Cut inside the front: one message, from the front view, for both sides.
    m_dialogs.clear();
    const QString cutInFront = m_dir.filePath(QStringLiteral("CutInFront.Lyt"));
    QVERIFY(saveFileAtomically(cutInFront, bytes.left(bytes.indexOf("\"TotalFields:"))));
    m_window->openBadgeLayout(cutInFront);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages[0].text.contains(
                 QStringLiteral("the front side is cut off at the field total and the back side "
                                "is missing")),
             qPrintable(m_dialogs.messages[0].text));
    QCOMPARE(front.Label1.count(), whole.front.Label1.count());
    QVERIFY(front.lblField.isEmpty() && back.Label1.isEmpty());
}

void tst_RenderingWindows::linkedRecordShowsInBothViewsAndPrintsAtCardSizeTopLeft()
{
    QVERIFY(link(QStringLiteral("17")));
    const DemoPerson person = demoPerson(17);
    RenderingWindow* frontView = m_window->frmFront();
    const BadgeSide front = frontView->shownSide();
    QCOMPARE(front.lblField.at(1).Caption, person.firstName);
    QCOMPARE(m_window->frmBack()->shownSide().lblField.at(1).Caption, person.department);
    QVERIFY(!m_window->frmBack()->shownSide().imgPhoto.Picture.isNull());
    QVERIFY(m_dialogs.messages.isEmpty());
    // The views keep the badge as loaded beside the record.
    QCOMPARE(frontView->layout().lblField.at(1).Caption, QStringLiteral("<Employee.FirstName>"));
    QVERIFY(frontView->record() && frontView->record()->key.text() == QStringLiteral("17"));
    // The canvas draws what is shown.
    QCOMPARE(frontView->canvas()->side()->lblField.at(1).Caption, person.firstName);

    VM_SKIP_IF(printingToPdfUnavailable());
    const QString pdf = m_dir.filePath(QStringLiteral("front.pdf"));
    m_dialogs.fileAnswers = {pdf};
    m_window->mnuPrintFront->trigger();
    QVERIFY2(QFile::exists(pdf), qPrintable(m_dialogs.messageTexts().join(QLatin1Char('|'))));

    const QRectF printable = m_window->printer()->pageLayout().paintRect(QPageLayout::Point);
    const PdfPage page = pdfPage(pdf, 1);
    // The field stands at Left 1980, Top 860 twips into the printable area.
    QVERIFY(page.hasWordAt(person.firstName, printable.topLeft() * 20 + QPointF(1980, 860)));
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
}

// What each failure says, tst_RecordLink pins; here the views must drop whoever they showed.
void tst_RenderingWindows::incompleteLinksLeaveNobodyOnEitherView_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("relation"); // empty: the project's
    QTest::addColumn<QString>("photoField");
    const QString relation = QStringLiteral("Employee.[DeptID]=Department.[DeptID]");
    // Each way a link fails is pinned on both engines in the linking suite; the views empty
    // alike for any, after a link that got as far as the record and after one that found none.
    QTest::newRow("picture column gone") << "19" << relation << "Employee.Photo";
    QTest::newRow("no such record") << "9999" << relation << "Employee.EmpNo";
}

void tst_RenderingWindows::incompleteLinksLeaveNobodyOnEitherView()
{
    QFETCH(QString, key);
    QFETCH(QString, relation);
    QFETCH(QString, photoField);
    QVERIFY(link(QStringLiteral("17")));
    const DemoPerson previous = demoPerson(17);
    StoredSettings changed = ProjectSettings::instance().stored();
    changed.Relations = {relation};
    changed.PhotoField = photoField;
    QVERIFY(!link(key, changed));
    QCOMPARE(m_dialogs.messages.size(), 1); // the operator is told

    // Nothing of the previous person (nor of the new one) on either view.
    const QStringList previousTexts = {previous.firstName, previous.lastName, previous.title,
                                       previous.department, QStringLiteral("17")};
    for (RenderingWindow* view : {m_window->frmFront(), m_window->frmBack()}) {
        QVERIFY(!view->record());
        const BadgeSide shown = view->shownSide();
        for (const auto& [index, field] : shown.lblField)
            QVERIFY2(field.Caption.isEmpty(), qPrintable(field.Caption));
        QVERIFY(shown.imgPhoto.Picture.isNull() && shown.imgSign.Picture.isNull());
        QVERIFY(!shown.imgPhoto.ShowPlaceholder && !shown.imgSign.ShowPlaceholder);
        QVERIFY(view->layout().lblField.at(1).Caption.startsWith(QLatin1Char('<')));
    }

    if (printingToPdfUnavailable().isEmpty()) {
        // Print Front Badge prints the emptied side: the design's own text alone.
        const QString pdf =
            m_dir.filePath(QStringLiteral("after-%1.pdf").arg(QTest::currentDataTag()));
        m_dialogs.fileAnswers = {pdf};
        m_window->mnuPrintFront->trigger();
        QVERIFY(QFile::exists(pdf));
        QStringList printed, comments;
        for (const PdfWord& word : pdfPage(pdf, 1).words)
            printed << word.text.normalized(QString::NormalizationForm_KC); // "ff" ligatures
        for (const auto& [index, comment] : m_window->frmFront()->layout().Label1)
            comments << comment.Caption.split(QLatin1Char(' '));
        printed.sort();
        comments.sort();
        QVERIFY(comments.contains(QStringLiteral("No.")));
        QCOMPARE(printed, comments);
    } else if (!havePdfText()) {
        VM_SKIP(pdfToolsMissing());
    }

    // The next complete link shows its person again.
    QVERIFY(link(QStringLiteral("17")));
    QCOMPARE(m_window->frmFront()->shownSide().lblField.at(1).Caption, previous.firstName);
}

void tst_RenderingWindows::printingStopsAtTheCardEdge()
{
    VM_SKIP_IF(printingToPdfUnavailable());
    // A field reference near the bottom of the portrait card, longer than the card is wide.
    const QString reference = QStringLiteral("Department.DeptName");
    const QString longer = reference + QStringLiteral("AndEverythingElseWeKnowAboutIt");
    m_window->openBadgeLayout(
        copyBadge(QStringLiteral("Visitor"), QStringLiteral("edge.Lyt"), reference, longer));
    RenderingWindow* front = m_window->frmFront();
    QCOMPARE(front->cardSize(), QSizeF(3090, 4876));
    const BadgeSide shown = front->shownSide();
    const Field& field = shown.lblField.at(3);
    QCOMPARE(field.Caption, QLatin1Char('<') + longer + QLatin1Char('>'));
    const double top = field.Top / 20.0; // points

    const QString pdf = m_dir.filePath(QStringLiteral("edge.pdf"));
    m_dialogs.fileAnswers = {pdf};
    m_window->mnuPrintFront->trigger();
    QVERIFY2(QFile::exists(pdf), qPrintable(m_dialogs.messageTexts().join(QLatin1Char('|'))));

    // At 72 dpi a point is a pixel: the card spans 154.5 x 243.8 from the printable area's corner.
    const QImage page = pdfPageImage(pdf, 1, 72);
    QVERIFY(!page.isNull());
    const QRectF printable = m_window->printer()->pageLayout().paintRect(QPageLayout::Point);
    const QRectF card(printable.topLeft(), QSizeF(3090 / 20.0, 4876 / 20.0));
    const QRect textBand(int(card.left()), int(card.top() + top), int(card.width()) + 200, 10);
    int inside = 0, beyond = 0;
    for (int y = textBand.top(); y <= textBand.bottom(); ++y) {
        for (int x = textBand.left(); x <= textBand.right() && x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) >= 160)
                continue;
            if (x < card.right() - 1)
                ++inside;
            else if (x > card.right() + 1)
                ++beyond;
        }
    }
    QVERIFY(inside > 0);
    QCOMPARE(beyond, 0);
}

QTEST_MAIN(tst_RenderingWindows)
#include "tst_RenderingWindows.moc"
