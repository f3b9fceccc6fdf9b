// Invariant: Data > Import Photos runs the same import as the command on the open project and
// shows its report; a photograph imported for the person on show is on the badge at once.
#include "records/frmImportPhotos.h"

#include "records/frmData.h"
#include "render/RenderingWindow.h"
#include "support/DemoWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace vm;
using namespace vm::test;

class tst_frmImportPhotos : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importsIntoTheOpenProject();
};

void tst_frmImportPhotos::importsIntoTheOpenProject()
{
    QTemporaryDir dir;
    DemoOptions few;
    few.people = 3;
    few.everyPicture = true;
    const QString project = demoProject(dir.filePath(QStringLiteral("demo")), few);
    QVERIFY(!project.isEmpty());
    ScriptedDialogs dialogs;
    const std::unique_ptr<mainMdi> window = openMainWindow(dialogs, project);
    QVERIFY(window);
    window->openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    window->mnuReclist->trigger();
    auto* browser = qobject_cast<frmData*>(window->loadedWindow(QStringLiteral("frmData")));
    QVERIFY(browser);
    QTRY_VERIFY(browser->Lst->model()->rowCount() == 3);
    browser->Lst->setCurrentIndex(browser->Lst->model()->index(0, 0));
    QTRY_VERIFY(window->frmFront()->record());
    const QString in = dir.filePath(QStringLiteral("in"));
    QDir().mkpath(in);
    QImage red(300, 400, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(in + QStringLiteral("/1.jpg")));

    window->mnuImportPhotos->trigger();
    auto* import =
        qobject_cast<frmImportPhotos*>(window->loadedWindow(QStringLiteral("frmImportPhotos")));
    QVERIFY(import);
    dialogs.folderAnswers << in;
    import->cmdBrowse->click();
    QCOMPARE(import->txtFolder->text(), in);
    import->cmdImport->click();
    QVERIFY2(import->txtReport->toPlainText().contains(QStringLiteral("Kept: these people")),
             qPrintable(import->txtReport->toPlainText()));
    import->chkReplace->setChecked(true);
    import->cmdImport->click();
    QVERIFY2(import->lblSummary->text().startsWith(QStringLiteral("1 imported")),
             qPrintable(import->lblSummary->text()));
    // Person 1 is on show: the badge shows the red crop as soon as he is read again.
    auto centre = [&] {
        const QImage shown = window->frmFront()->badgeSide().imgPhoto.Picture;
        return shown.isNull() ? QColor() : QColor(shown.pixel(shown.rect().center()));
    };
    QTRY_VERIFY2(centre().red() > 200 && centre().green() < 60, qPrintable(centre().name()));
}

QTEST_MAIN(tst_frmImportPhotos)
#include "tst_frmImportPhotos.moc"
