// Invariant: Data > Import Photos runs the same import as the command on the open project, off
// the window's thread so Cancel is heard, and shows its report; a photograph imported for the
// person on show is on the badge at once.
#include "records/frmImportPhotos.h"

#include "records/frmData.h"
#include "render/RenderingWindow.h"
#include "support/DemoWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
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
    few.people = 12;
    few.photoSize = {120, 160};
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
    QTRY_VERIFY(browser->Lst->model()->rowCount() == few.people);
    browser->Lst->setCurrentIndex(browser->Lst->model()->index(0, 0));
    QTRY_VERIFY(window->frmFront()->record());
    const QString in = dir.filePath(QStringLiteral("in"));
    QDir().mkpath(in);
    QImage red(300, 400, QImage::Format_RGB32);
    red.fill(Qt::red);
    for (int person = 1; person <= few.people; ++person)
        QVERIFY(red.save(in + QStringLiteral("/%1.jpg").arg(person)));

    window->mnuImportPhotos->trigger();
    auto* import =
        qobject_cast<frmImportPhotos*>(window->loadedWindow(QStringLiteral("frmImportPhotos")));
    QVERIFY(import);
    dialogs.folderAnswers << in;
    import->cmdBrowse->click();
    QCOMPARE(import->txtFolder->text(), in);
    const auto report = [&] { return qPrintable(import->txtReport->toPlainText()); };
    import->cmdImport->click();
    QTRY_VERIFY(!import->isImporting());
    QVERIFY2(import->txtReport->toPlainText().contains(QStringLiteral("Kept: these people")),
             report());

    // The click returns while the import runs, and Cancel stops it before the photographs are
    // all written; no file is left half-written.
    import->chkReplace->setChecked(true);
    import->cmdImport->click();
    QVERIFY(import->isImporting());
    QVERIFY(!import->cmdImport->isEnabled() && !import->chkReplace->isEnabled());
    QVERIFY(import->cmdCancel->isVisible() && import->prgImport->isVisible());
    import->cmdCancel->click();
    QTRY_VERIFY(!import->isImporting());
    QVERIFY(import->cmdImport->isEnabled() && import->cmdCancel->isHidden());
    QVERIFY2(import->lblSummary->text().contains(QStringLiteral("left when cancelled")), report());
    const QString photos = ProjectSettings::instance().stored().PhotoDir;
    for (const QString& file : QDir(photos).entryList(QDir::Files))
        QVERIFY2(file.endsWith(QLatin1String(".jpg")) && !QImage(photos + file).isNull(),
                 qPrintable(file));

    import->cmdImport->click();
    QTRY_VERIFY(!import->isImporting());
    QVERIFY2(import->lblSummary->text().startsWith(QStringLiteral("%1 imported").arg(few.people)),
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
