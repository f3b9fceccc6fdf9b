// Invariant: F1 opens the operator's guide at the section of the window it was pressed in; every
// section a window or the guide's own links name is a heading of the guide, and its pictures load.
#include "app/OperatorGuide.h"
#include "support/DemoWindow.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>

using namespace vm;
using namespace vm::test;

namespace {

// A section is shown when its heading stands in the top quarter of the browser.
bool sectionShown(const QTextBrowser& browser, const QString& anchor)
{
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next()) {
        if (block.begin().fragment().charFormat().anchorNames().contains(anchor)) {
            const int top = browser.cursorRect(QTextCursor(block)).top();
            return top >= 0 && top < browser.viewport()->height() / 4;
        }
    }
    return false;
}

} // namespace

class tst_OperatorGuide : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void f1InATextBoxOpensItsWindowsSection_data();
    void f1InATextBoxOpensItsWindowsSection();
    void everySectionNamedIsThereAndEveryPictureLoads();

private:
    QTemporaryDir m_dir;
    QString m_project;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<mainMdi> m_window;
};

void tst_OperatorGuide::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumark"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_OperatorGuide"));
    m_project =
        demoProject(m_dir.filePath(QStringLiteral("demo")), DemoOptions{5, {60, 80}, false});
    QVERIFY(!m_project.isEmpty());
}

void tst_OperatorGuide::init()
{
    QSettings().clear();
    m_window = openMainWindow(m_dialogs, m_project);
    QVERIFY(m_window);
}

void tst_OperatorGuide::cleanup()
{
    m_window.reset();
}

void tst_OperatorGuide::f1InATextBoxOpensItsWindowsSection_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("window");
    QTest::newRow("start: the beginning") << QString() << QString();
    QTest::newRow("New Project") << QStringLiteral("mnuNew") << QStringLiteral("frmNewProj");
    QTest::newRow("designer") << QStringLiteral("mnuCreate") << QStringLiteral("frmDesigner");
    QTest::newRow("record browser") << QStringLiteral("mnuReclist") << QStringLiteral("frmData");
}

void tst_OperatorGuide::f1InATextBoxOpensItsWindowsSection()
{
    QFETCH(QString, menu);
    QFETCH(QString, window);
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QWidget* focus = m_window.get();
    if (!menu.isEmpty()) {
        m_window->findChild<QAction*>(menu)->trigger();
        QMdiSubWindow* shown = m_window->loadedWindow(window);
        QVERIFY(shown);
        m_window->mdiArea()->setActiveSubWindow(shown);
        focus = shown->findChild<QLineEdit*>();
        QVERIFY(focus);
        focus->setFocus();
    }

    QTest::keyClick(focus, Qt::Key_F1);
    auto* guide = m_window->findChild<OperatorGuide*>();
    QVERIFY(guide && guide->isVisible());
    const QString section = guideSections().value(window, QStringLiteral("vellumark"));
    QVERIFY2(sectionShown(*guide->browser(), section), qPrintable(section));

    // Open already, the guide follows F1 to the next window's section.
    m_window->mnuPrintPage->trigger();
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmPreview"))->isVisible());
    m_window->mnuGuide->trigger();
    QCOMPARE(m_window->findChildren<OperatorGuide*>().size(), 1);
    QVERIFY(sectionShown(*guide->browser(), QStringLiteral("the-print-page")));
}

void tst_OperatorGuide::everySectionNamedIsThereAndEveryPictureLoads()
{
    m_window->mnuGuide->trigger();
    auto* guide = m_window->findChild<OperatorGuide*>();
    QVERIFY(guide && QTest::qWaitForWindowExposed(guide));
    const QStringList anchors = guide->sectionAnchors();
    for (const QString& anchor : guideSections())
        QVERIFY2(anchors.contains(anchor), qPrintable(anchor));

    QTextBrowser* browser = guide->browser();
    QTextDocument* doc = browser->document();
    int pictures = 0;
    QTextCursor firstLink;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                const QString name = format.toImageFormat().name();
                // Shown, the guide has decoded each picture it found.
                const QVariant picture = doc->resource(QTextDocument::ImageResource, QUrl(name));
                QVERIFY2(!picture.value<QPixmap>().isNull(), qPrintable(name));
                ++pictures;
            } else if (format.anchorHref().startsWith(u'#')) {
                QVERIFY2(anchors.contains(format.anchorHref().mid(1)),
                         qPrintable(format.anchorHref()));
                if (firstLink.isNull()) {
                    firstLink = QTextCursor(doc);
                    firstLink.setPosition(it.fragment().position() + 1);
                }
            }
        }
    }
    QVERIFY(pictures > 0);

    // A link inside the guide scrolls to its section.
    QVERIFY(!firstLink.isNull());
    const QString target = firstLink.charFormat().anchorHref().mid(1);
    browser->setTextCursor(firstLink);
    browser->ensureCursorVisible();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                      browser->cursorRect(firstLink).center());
    QVERIFY2(sectionShown(*browser, target), qPrintable(target));
}

QTEST_MAIN(tst_OperatorGuide)
#include "tst_OperatorGuide.moc"
