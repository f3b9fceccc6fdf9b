#include "app/mainMdi.h"

#include "app/AboutBox.h"
#include "app/OperatorGuide.h"
#include "badge/BadgeFile.h"
#include "badge/BadgeStore.h"
#include "badge/BadgeNames.h"
#include "capture/frmCapture.h"
#include "capture/frmCrop.h"
#include "common/FileNames.h"
#include "designer/frmDesigner.h"
#include "project/Database.h"
#include "project/DatabaseWaiting.h"
#include "project/ProjectCheck.h"
#include "project/ProjectFile.h"
#include "project/ProjectSaving.h"
#include "project/ProjectSettings.h"
#include "project/frmConfigure.h"
#include "project/frmDirChooser.h"
#include "project/frmNewProj.h"
#include "records/FrmAddRec.h"
#include "records/PrintJournal.h"
#include "records/PrintedChange.h"
#include "records/RecordIssuance.h"
#include "records/RecordLink.h"
#include "records/RecordListModel.h"
#include "records/RecordQuery.h"
#include "records/frmData.h"
#include "records/frmImportPhotos.h"
#include "render/BadgeRenderer.h"
#include "render/IssuePrompt.h"
#include "render/PrintSlot.h"
#include "render/RenderingWindow.h"
#include "render/SheetPrinting.h"
#include "render/frmPreview.h"
#include "widgets/AccessibleNames.h"
#include "widgets/ScreenUnits.h"
#include "widgets/frmProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

#include <limits>
#include <memory>
#include <utility>

namespace vm {
namespace {

// Gap between the front view and the main window's right edge, and the views' top edge (twips).
constexpr double ViewRightGap = 240;
constexpr double ViewTop = 120;

// A view that shows no element and no frame has nothing to print.
bool holdsNothing(const BadgeSide& side)
{
    return side.Label1.isEmpty() && side.lblField.isEmpty() && side.Image1.isEmpty() &&
           side.myShape1.isEmpty() && !side.imgPhoto.Visible && !side.imgSign.Visible;
}

} // namespace

mainMdi::mainMdi(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , Cdlg(dialogs, this)
    , cdlgPrinting(dialogs, this)
{
    setObjectName(QStringLiteral("mainMdi"));
    setWindowTitle(AppTitle);
    // Every window without an icon of its own shows the program's.
    QApplication::setWindowIcon(applicationIcon());
    setWindowIcon(QApplication::windowIcon());
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdi);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    createMenus();

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    resize(std::min(1280, screen.width() * 9 / 10), std::min(900, screen.height() * 9 / 10));
    qApp->installEventFilter(this);

    ProjectSettings& settings = ProjectSettings::instance();
    connect(&settings, &ProjectSettings::projectMenusEnabledChanged, this,
            &mainMdi::setProjectMenusEnabled);
    connect(&settings, &ProjectSettings::projectMenusEnabledChanged, this, &mainMdi::updateTitle);
    connect(&settings, &ProjectSettings::projectReplaced, this, &mainMdi::updateTitle);
    // Another project, or the same one configured anew: its record is opened again when needed.
    connect(&settings, &ProjectSettings::projectReplaced, this, [this] {
        if (!m_journalProject.isEmpty()) {
            m_journal.reset();
            m_journalProject.clear();
        }
    });

    // Start-up: no badges, nothing configured, both views empty at the right edge, project
    // menus off, the print page loaded but hidden.
    settings.setBadges({});
    settings.DatabaseConfigured = false;
    m_front = new RenderingWindow(RenderingWindow::Side::Front, dialogs);
    m_back = new RenderingWindow(RenderingWindow::Side::Back, dialogs);
    m_mdi->addSubWindow(m_front);
    m_mdi->addSubWindow(m_back);
    for (RenderingWindow* view : {m_front, m_back}) {
        connect(view, &RenderingWindow::orientationRead, this, [this](int code) {
            if (code == 1)
                SetLandscape();
            else if (code == 2)
                SetPortrait();
        });
    }
    connect(m_front, &RenderingWindow::badgeLoaded, this,
            [this] { mnuEditCard->setEnabled(true); });
    m_front->showNormal();
    m_back->showNormal();
    SetProjectState(ProjectState::None);
    showWindow(QStringLiteral("frmPreview"))->hide();

    // A database password found nowhere else is asked for as the connection is made.
    const auto above = [this]() -> QWidget* {
        QWidget* active = QApplication::activeWindow();
        return active ? active : this;
    };
    DatabaseConnection::setPasswordPrompt(
        {[this, above](const QString& address, const QString& user) {
             return m_dialogs.password(
                 above(), QStringLiteral("The database %1 asks for the password of %2.\nIt is "
                                         "kept until the program ends and is never saved.")
                              .arg(QStringLiteral("\u201c%1\u201d").arg(address),
                                   QStringLiteral("\u201c%1\u201d").arg(user)));
         },
         [this, above](const QString& text) {
             m_dialogs.message(above(),
                               {text, MessageButtons::Ok, MessageIcon::Information, {}, {}});
         }});
}

mainMdi::~mainMdi()
{
    disconnect(m_browserGone);
    DatabaseConnection::setPasswordPrompt({});
}

QAction* mainMdi::addItem(QMenu* menu, const QString& name, const QString& caption,
                          const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void mainMdi::createMenus()
{
    auto addMenu = [this](const QString& name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        return menu;
    };
    auto addSeparator = [](QMenu* menu, const QString& name) {
        menu->addSeparator()->setObjectName(name);
    };

    mnuProject = addMenu(QStringLiteral("mnuProject"), QStringLiteral("Project"));
    mnuNew = addItem(mnuProject, QStringLiteral("mnuNew"),
                     QStringLiteral("&New") + QString(19, QLatin1Char(' ')),
                     QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuOpen = addItem(mnuProject, QStringLiteral("mnuOpen"), QStringLiteral("&Open"),
                      QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuSaveProject = addItem(mnuProject, QStringLiteral("mnuSaveProject"), QStringLiteral("&Save"),
                             QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveAsProject =
        addItem(mnuProject, QStringLiteral("mnuSaveAsProject"), QStringLiteral("Save &As"));
    mnuClose = addItem(mnuProject, QStringLiteral("mnuClose"), QStringLiteral("&Close"));
    addSeparator(mnuProject, QStringLiteral("sep2"));
    mnuDBConfig = addItem(mnuProject, QStringLiteral("mnuDBConfig"),
                          QStringLiteral("Database Configuration"));
    addSeparator(mnuProject, QStringLiteral("sep1"));
    mnuExit = addItem(mnuProject, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));

    mnuCards = addMenu(QStringLiteral("mnuCards"), QStringLiteral("Layouts"));
    mnuCreate = addItem(mnuCards, QStringLiteral("mnuCreate"), QStringLiteral("Create New"),
                        QKeySequence(Qt::CTRL | Qt::Key_Insert));
    mnuLoadCard = addItem(mnuCards, QStringLiteral("mnuLoadCard"), QStringLiteral("Open Existing"),
                          QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    mnuEditCard = addItem(mnuCards, QStringLiteral("mnuEditCard"), QStringLiteral("Change Layout"),
                          QKeySequence(Qt::Key_F2));
    mnuEditCard->setEnabled(false);

    mnuData = addMenu(QStringLiteral("mnuData"), QStringLiteral("&Data"));
    mnuReclist = addItem(mnuData, QStringLiteral("mnuReclist"), QStringLiteral("Show Records"),
                         QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuUpdateRecs = addItem(mnuData, QStringLiteral("mnuUpdateRecs"),
                            QStringLiteral("Edit Records"), QKeySequence(Qt::CTRL | Qt::Key_E));
    addSeparator(mnuData, QStringLiteral("sepPictures"));
    mnuTakePhoto = addItem(mnuData, QStringLiteral("mnuTakePhoto"), QStringLiteral("Take Photo"));
    mnuTakeSign = addItem(mnuData, QStringLiteral("mnuTakeSign"), QStringLiteral("Take Signature"));
    mnuImportPhotos =
        addItem(mnuData, QStringLiteral("mnuImportPhotos"), QStringLiteral("Import Photos"));
    connect(mnuData, &QMenu::aboutToShow, this, [this] {
        mnuTakeSign->setEnabled(isPictureFieldSet(ProjectSettings::instance().SignField));
    });
    connect(mnuTakePhoto, &QAction::triggered, this, [this] { takePicture(PictureKind::Photo); });
    connect(mnuTakeSign, &QAction::triggered, this,
            [this] { takePicture(PictureKind::Signature); });

    mnuPrint = addMenu(QStringLiteral("mnuPrint"), QStringLiteral("Printing"));
    mnuPrintSetup =
        addItem(mnuPrint, QStringLiteral("mnuPrintSetup"), QStringLiteral("Print Setup"));
    mnuPrinterSetup =
        addItem(mnuPrint, QStringLiteral("mnuPrinterSetup"), QStringLiteral("Printer Setup"));
    addSeparator(mnuPrint, QStringLiteral("sepPrint"));
    mnuPrintFront =
        addItem(mnuPrint, QStringLiteral("mnuPrintFront"), QStringLiteral("Print Front Badge"),
                QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuPrintBack = addItem(mnuPrint, QStringLiteral("mnuPrintBack"),
                           QStringLiteral("Print Back Badge"), QKeySequence(Qt::CTRL | Qt::Key_B));
    mnuPrintPage = addItem(mnuPrint, QStringLiteral("mnuPrintPage"), QStringLiteral("Print Page"),
                           QKeySequence(Qt::CTRL | Qt::Key_P));
    addSeparator(mnuPrint, QStringLiteral("sepTestPrint"));
    mnuTestPrint = addItem(mnuPrint, QStringLiteral("mnuTestPrint"),
                           QStringLiteral("Test Prints (Marked, Not Recorded)"));
    mnuTestPrint->setCheckable(true);

    mnuHelp = addMenu(QStringLiteral("mnuHelp"), QStringLiteral("&Help"));
    mnuGuide = addItem(mnuHelp, QStringLiteral("mnuGuide"), QStringLiteral("Operator's &guide"),
                       QKeySequence::HelpContents);
    connect(mnuGuide, &QAction::triggered, this, &mainMdi::showGuide);
    mnuAbout = addItem(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About Vellumark"));
    mnuAbout->setMenuRole(QAction::AboutRole);
    connect(mnuAbout, &QAction::triggered, this, &mainMdi::showAbout);

    connect(mnuNew, &QAction::triggered, this,
            [this] { showWindow(QStringLiteral("frmNewProj")); });
    connect(mnuOpen, &QAction::triggered, this, &mainMdi::onOpen);
    connect(mnuSaveProject, &QAction::triggered, this, &mainMdi::saveProject);
    connect(mnuSaveAsProject, &QAction::triggered, this, &mainMdi::saveProjectAs);
    connect(mnuClose, &QAction::triggered, this, [this] {
        if (offerToSaveProject())
            closeProject();
    });
    connect(mnuDBConfig, &QAction::triggered, this, &mainMdi::onDatabaseConfiguration);
    connect(mnuExit, &QAction::triggered, this, &mainMdi::onExit);
    connect(mnuCreate, &QAction::triggered, this, &mainMdi::onCreateLayout);
    connect(mnuLoadCard, &QAction::triggered, this, &mainMdi::onOpenExistingLayout);
    connect(mnuEditCard, &QAction::triggered, this, &mainMdi::onChangeLayout);
    connect(mnuReclist, &QAction::triggered, this,
            [this] { showWindow(QStringLiteral("frmData")); });
    connect(mnuUpdateRecs, &QAction::triggered, this,
            [this] { showWindow(QStringLiteral("FrmAddRec")); });
    connect(mnuImportPhotos, &QAction::triggered, this,
            [this] { showWindow(QStringLiteral("frmImportPhotos")); });
    connect(mnuPrintSetup, &QAction::triggered, this, &mainMdi::onPrintSetup);
    connect(mnuPrinterSetup, &QAction::triggered, this, &mainMdi::onPrinterSetup);
    connect(mnuPrintFront, &QAction::triggered, this, [this] { printSide(m_front); });
    connect(mnuPrintBack, &QAction::triggered, this, [this] { printSide(m_back); });
    // The page collected in the preview window is printed from there.
    connect(mnuPrintPage, &QAction::triggered, this,
            [this] { showWindow(QStringLiteral("frmPreview")); });
}

void mainMdi::setProjectMenusEnabled(bool enabled)
{
    for (QAction* action : {mnuSaveProject, mnuSaveAsProject, mnuClose, mnuCards->menuAction(),
                            mnuData->menuAction(), mnuPrint->menuAction()})
        action->setEnabled(enabled);
}

void mainMdi::updateTitle()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    const bool open =
        settings.ProjectState != ProjectState::None && !settings.ProjectName.isEmpty();
    setWindowTitle(open ? AppTitle + QStringLiteral(" - ") + settings.ProjectName : AppTitle);
}

void mainMdi::showAbout()
{
    if (auto* shown = findChild<AboutBox*>()) {
        shown->raise();
        shown->activateWindow();
        return;
    }
    auto* about = new AboutBox(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

void mainMdi::showGuide()
{
    const QMdiSubWindow* active = m_mdi->activeSubWindow();
    const QString section = active ? guideSections().value(active->objectName()) : QString();
    auto* guide = findChild<OperatorGuide*>();
    if (!guide) {
        guide = new OperatorGuide(this);
        guide->setAttribute(Qt::WA_DeleteOnClose);
    }
    guide->showSection(section);
    guide->show();
    guide->raise();
    guide->activateWindow();
}

void mainMdi::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_placedAtStart) {
        m_placedAtStart = true;
        placeRenderingWindows();
    }
}

// Text boxes claim Ctrl+E for their own editing, which left Edit Records dead while the record
// browser's find box had the focus: in this window the menus' keys come first. Ctrl+Ins and
// Shift+Ins stay a text box's copy and paste, as everywhere else on the desktop (Create New and
// Open Existing answer them outside text boxes); Ctrl+C and Ctrl+V copy and paste too.
bool mainMdi::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
    const bool textBox = qobject_cast<const QLineEdit*>(widget) ||
                         qobject_cast<const QTextEdit*>(widget) ||
                         qobject_cast<const QPlainTextEdit*>(widget);
    if (textBox && (keys == QKeySequence(Qt::CTRL | Qt::Key_Insert) ||
                    keys == QKeySequence(Qt::SHIFT | Qt::Key_Insert)))
        return false;
    for (const QMenu* menu : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        if (!menu->menuAction()->isEnabled())
            continue;
        for (const QAction* item : menu->actions()) {
            if (item->isEnabled() && !item->shortcut().isEmpty() && item->shortcut() == keys)
                return true;
        }
    }
    return false;
}

void mainMdi::closeEvent(QCloseEvent* event)
{
    if (!offerToSaveProject()) {
        event->ignore();
        return;
    }
    unloadWindow(QStringLiteral("frmPreview"));
    event->accept();
    Q_EMIT exitRequested();
}

void mainMdi::placeRenderingWindows()
{
    const int areaWidth = m_mdi->contentsRect().width();
    const int left = areaWidth - m_front->width() - screenPixels(this, ViewRightGap);
    m_front->showNormal();
    m_front->move(left, screenPixels(this, ViewTop));
    m_back->showNormal();
    m_back->move(left, m_front->height() + screenPixels(this, ViewRightGap));
}

void mainMdi::SetPortrait()
{
    m_front->setCardSize(cardSizeTwips(Orientation::Portrait));
    m_back->setCardSize(cardSizeTwips(Orientation::Portrait));
    placeRenderingWindows();
}

void mainMdi::SetLandscape()
{
    m_front->setCardSize(cardSizeTwips(Orientation::Landscape));
    m_back->setCardSize(cardSizeTwips(Orientation::Landscape));
    placeRenderingWindows();
}

QMdiSubWindow* mainMdi::loadedWindow(const QString& name) const
{
    if (name == QLatin1String("frmProgress"))
        return m_progress.data();
    return m_windows.value(name).data();
}

// Each window is made here on first use. One block a window, so they can change independently.
QMdiSubWindow* mainMdi::createWindow(const QString& name)
{
    if (name == QLatin1String("frmNewProj")) {
        auto* window = new frmNewProj(m_dialogs);
        // Queued: closing the open project deletes the window that asks for it.
        connect(window, &frmNewProj::configureWanted, this, [this](const NewProject& project) {
            QMetaObject::invokeMethod(
                this, [this, project] { startNewProject(project); }, Qt::QueuedConnection);
        });
        return window;
    }

    if (name == QLatin1String("frmConfigure")) {
        auto* window = new frmConfigure(m_dialogs, Cdlg);
        connect(window, &frmConfigure::folderWanted, this, [this](QLineEdit* box) {
            auto* chooser =
                static_cast<frmDirChooser*>(showWindow(QStringLiteral("frmDirChooser")));
            chooser->TargetBox = box;
            chooser->showFolder(box->text());
        });
        connect(window, &frmConfigure::configured, this,
                [this] { showWindow(QStringLiteral("frmData")); });
        return window;
    }

    if (name == QLatin1String("frmDirChooser"))
        return new frmDirChooser;

    if (name == QLatin1String("frmDesigner")) {
        auto* designer = new frmDesigner(m_dialogs);
        connect(designer, &frmDesigner::badgeSaved, this,
                [this] { mnuLoadCard->setEnabled(true); });
        return designer;
    }

    if (name == QLatin1String("frmData")) {
        auto* browser = new frmData(m_dialogs, m_front, m_back,
                                    [this](const LinkResult& result, QString* reasonInstead) {
                                        return showLinked(result, reasonInstead);
                                    });
        watchRecordReading(browser);
        connect(browser, &frmData::editRecordsRequested, this,
                [this] { showWindow(QStringLiteral("FrmAddRec")); });
        connect(browser, &frmData::changeLayoutRequested, this, &mainMdi::onChangeLayout);
        connect(browser, &frmData::takePhotoRequested, this,
                [this] { takePicture(PictureKind::Photo); });
        connect(browser, &frmData::takeSignatureRequested, this,
                [this] { takePicture(PictureKind::Signature); });
        // The print page: badges added earlier stay on it, and new ones follow them.
        browser->setPageCount(printPage()->itemCount());
        connect(browser, &frmData::addToPrintPage, this,
                [this](int ino, const PrintSlot& slot) { printPage()->AddItem(ino, slot); });
        connect(browser, &frmData::removeFromPrintPage, this,
                [this](int ino) { printPage()->RemoveItem(ino); });
        connect(browser, &frmData::previewRequested, this, [this](int orientation) {
            auto* preview = static_cast<frmPreview*>(showWindow(QStringLiteral("frmPreview")));
            if (orientation == 1)
                preview->SetLandscape();
            else if (orientation == 2)
                preview->SetPortrait();
        });
        return browser;
    }

    if (name == QLatin1String("frmCapture")) {
        auto* capture = new frmCapture(m_cameras);
        connect(capture, &frmCapture::cropWanted, this,
                [this](const PictureTarget& target, const QImage& still) {
                    static_cast<frmCrop*>(showWindow(QStringLiteral("frmCrop")))
                        ->cropFor(target, still);
                });
        connect(capture, &frmCapture::fileWanted, this, [this](const PictureTarget& target) {
            auto* crop = static_cast<frmCrop*>(showWindow(QStringLiteral("frmCrop")));
            crop->cropFor(target, QImage());
            crop->chooseFile();
        });
        return capture;
    }

    if (name == QLatin1String("frmCrop")) {
        auto* crop = new frmCrop(m_dialogs);
        connect(
            crop, &frmCrop::saved, this, [this](const PictureTarget& target, const QString& file) {
                statusBar()->showMessage(
                    target.what(true) +
                    QStringLiteral(" was saved as %1.").arg(QDir::toNativeSeparators(file)));
                if (auto* browser = qobject_cast<frmData*>(loadedWindow(QStringLiteral("frmData"))))
                    browser->pictureChanged(target.person.key);
            });
        return crop;
    }

    if (name == QLatin1String("FrmAddRec")) {
        auto* editor = new FrmAddRec(m_dialogs);
        connect(editor, &FrmAddRec::tableChanged, this, [this] {
            if (auto* browser = qobject_cast<frmData*>(loadedWindow(QStringLiteral("frmData"))))
                browser->offerRefresh();
        });
        return editor;
    }

    if (name == QLatin1String("frmImportPhotos")) {
        auto* import = new frmImportPhotos(m_dialogs);
        connect(import, &frmImportPhotos::photosImported, this, [this] {
            if (auto* browser = qobject_cast<frmData*>(loadedWindow(QStringLiteral("frmData"))))
                browser->LinkSelectedRecord(); // the person shown may have a new photograph
        });
        return import;
    }

    if (name == QLatin1String("frmPreview")) {
        auto* preview = new frmPreview(m_dialogs, [this] { return printer(); });
        preview->setIssuance([this] { return printJournal(); }, [this] { return testPrints(); });
        connect(preview, &frmPreview::printed, this, &mainMdi::refreshPrintCounts);
        connect(preview, &frmPreview::printed, this,
                [this](const QString& what) { statusBar()->showMessage(what); });
        return preview;
    }

    return nullptr;
}

frmPreview* mainMdi::printPage()
{
    if (auto* preview = qobject_cast<frmPreview*>(loadedWindow(QStringLiteral("frmPreview"))))
        return preview;
    QMdiSubWindow* made = showWindow(QStringLiteral("frmPreview"));
    made->hide(); // loaded, as at start, not shown
    return static_cast<frmPreview*>(made);
}

QMdiSubWindow* mainMdi::showWindow(const QString& name)
{
    QPointer<QMdiSubWindow>& window = m_windows[name];
    if (!window) {
        window = createWindow(name);
        Q_ASSERT(window);
        nameInnerParts(window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_mdi->addSubWindow(window);
    }
    window->show();
    window->raise();
    return window;
}

void mainMdi::unloadWindow(const QString& name)
{
    if (name == QLatin1String("frmProgress")) {
        unloadProgress();
        return;
    }
    if (QPointer<QMdiSubWindow> window = m_windows.take(name))
        delete window.data();
}

frmProgress* mainMdi::progressWindow()
{
    if (!m_progress) {
        m_progress = new frmProgress;
        m_mdi->addSubWindow(m_progress);
        m_progress->centreIn(m_mdi->contentsRect().size());
    }
    return m_progress;
}

void mainMdi::unloadProgress()
{
    delete m_progress.data();
}

// The records are read on a thread of the browser's own; a reading that lasts shows frmProgress
// with the count for as long as it runs. A quick one shows nothing.
void mainMdi::watchRecordReading(frmData* browser)
{
    struct Reading {
        QString table;
        int rows = 0;
        qint64 expected = 0;
        bool started = false;
    };
    RecordListModel* records = browser->records();
    auto reading = std::make_shared<Reading>();
    const auto show = [this, reading] {
        frmProgress* window = progressWindow();
        const bool counted =
            reading->expected > 0 && reading->expected < std::numeric_limits<int>::max();
        window->ProgressBar1->setRange(0, counted ? int(reading->expected) + 1 : 0);
        window->ProgressBar1->setValue(counted ? reading->rows : 0);
        const QString what =
            QStringLiteral("Reading the records of %1: %L2").arg(reading->table).arg(reading->rows);
        window->setReading(counted ? what + QStringLiteral(" of %L1").arg(reading->expected)
                                   : what);
        window->show();
        window->raise();
    };
    // From the first reading on, however the browser came to read.
    const auto watch = [records, reading, show] {
        if (std::exchange(reading->started, true))
            return;
        reading->table = ProjectSettings::instance().MasterTable;
        QTimer::singleShot(400, records, [records, show] {
            if (records->isLoading())
                show();
        });
    };
    connect(records, &RecordListModel::loadProgress, this,
            [this, reading, show, watch](int rows, qint64 expected) {
                reading->rows = rows;
                reading->expected = expected;
                if (m_progress)
                    show();
                else
                    watch();
            });
    connect(records, &RecordListModel::loadFinished, this, [this, reading] {
        reading->started = false;
        unloadProgress();
    });
    // A browser closed while it reads leaves no "Please wait" behind.
    m_browserGone = connect(browser, &QObject::destroyed, this, &mainMdi::unloadProgress);
    watch();
}

bool mainMdi::WriteProjectFile()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    return saveProjectFile(m_dialogs, this, settings.stored(), settings.ProjectFile);
}

bool mainMdi::offerToSaveProject()
{
    // Rows typed into Edit Table and a badge being designed are saved, dropped or kept open
    // first, as their own close asks.
    for (const char* name : {"FrmAddRec", "frmDesigner"}) {
        if (QMdiSubWindow* window = loadedWindow(QString::fromLatin1(name));
            window && !window->close())
            return false;
    }
    const ProjectSettings& settings = ProjectSettings::instance();
    if (settings.ProjectState != ProjectState::Written &&
        settings.ProjectState != ProjectState::Open)
        return true;
    if (const Result<StoredSettings> onDisk = ReadProjectFile(settings.ProjectFile);
        onDisk && *onDisk == settings.stored())
        return true;
    const OperatorMessage question{
        QStringLiteral("The project %1 has changes that are not saved. Save them?")
            .arg(settings.ProjectName),
        MessageButtons::YesNoCancel,
        MessageIcon::Question,
        {},
        QStringLiteral("Without saving, the project opens next time as it was last saved, "
                       "its list of badges included. Cancel keeps it open.")};
    switch (m_dialogs.message(this, question)) {
    case MessageAnswer::Yes:
        return WriteProjectFile();
    case MessageAnswer::No:
        return true;
    default:
        return false;
    }
}

bool mainMdi::startNewProject(const NewProject& project)
{
    if (!offerToSaveProject())
        return false;
    closeProject();
    // The page collected for the old project survives a Close and Open of it, but not a New.
    unloadWindow(QStringLiteral("frmPreview"));
    printPage();
    StartNewProject(project);
    updateTitle();
    showWindow(QStringLiteral("frmConfigure"));
    return true;
}

bool mainMdi::saveProject()
{
    if (ProjectSettings::instance().ProjectFile.isEmpty())
        return saveProjectAs();
    return WriteProjectFile();
}

bool mainMdi::saveProjectAs()
{
    ProjectSettings& settings = ProjectSettings::instance();
    Cdlg.Filter = QStringLiteral("Project File| *.Prj");
    Cdlg.InitDir = settings.ProjectDir;
    Cdlg.FileName.clear();
    Cdlg.ShowSave();
    if (Cdlg.FileName.isEmpty())
        return false;
    // Another file: written as this project has it, its own badge list not merged in.
    const QString file = withSuffix(Cdlg.FileName, QStringLiteral(".Prj"));
    return saveProjectFile(m_dialogs, this, settings.stored(), file,
                           [&settings, &file](const StoredSettings& saved) {
                               settings.ProjectFile = file;
                               settings.setBadgesOnDisk(saved.Badges);
                           });
}

void mainMdi::onOpen()
{
    ProjectSettings& settings = ProjectSettings::instance();
    Cdlg.Filter = QStringLiteral("Project File|*.Prj|All Files|*");
    Cdlg.InitDir = settings.ProjectDir;
    Cdlg.FileName.clear();
    Cdlg.ShowOpen();
    if (!Cdlg.FileName.isEmpty() && offerToSaveProject())
        openProjectFile(Cdlg.FileName);
}

bool mainMdi::openProjectFile(const QString& path)
{
    const QString file = resolveFileName(path);
    const Result<StoredSettings> read = ReadProjectFile(file);
    if (!read) {
        // What is wrong inside the file ("the file is empty") does not name it; reading it does.
        const QString shown = QDir::toNativeSeparators(file);
        const QString detail = read.error().contains(shown)
                                   ? read.error()
                                   : QStringLiteral("%1: %2").arg(shown, read.error());
        m_dialogs.message(this, {QStringLiteral("Error while reading existing project, Project "
                                                "might be currupted or mismatch with database "),
                                 MessageButtons::Ok, MessageIcon::Critical,
                                 QStringLiteral("Error in project"), detail});
        return false;
    }
    closeProject();
    ProjectSettings& settings = ProjectSettings::instance();
    settings.replace(*read, file);
    // An opened project stands where the wizard's Finish leaves a new one: menus on, file written.
    SetProjectState(ProjectState::Configuring);
    SetProjectState(ProjectState::Written);
    settings.DatabaseConfigured = true;
    // A database that no longer fits is reported, but the project stays open to be repaired.
    const Status fits = checkDatabaseWhileWaiting(m_mdi, settings.stored());
    if (!fits) {
        m_dialogs.message(this, {fits.error(),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 QStringLiteral("The project is open. Correct its database with "
                                                "Project > Database Configuration.")});
    }
    return true;
}

void mainMdi::closeProject()
{
    for (const char* name : {"frmData", "FrmAddRec", "frmImportPhotos", "frmNewProj", "frmProgress",
                             "frmDirChooser", "frmConfigure", "frmCapture", "frmCrop"})
        unloadWindow(QString::fromLatin1(name));
    m_front->UnloadBadgeElements();
    m_back->UnloadBadgeElements();
    ProjectSettings& settings = ProjectSettings::instance();
    if (settings.ProjectState == ProjectState::Configuring)
        AbandonNewProject(); // never written: the folders New made for it go
    SetProjectState(ProjectState::None);
    // Everything of the closed project goes, so a project created next starts clean.
    settings.setBadges({});
    settings.setBadgesOnDisk({});
    settings.stored() = StoredSettings{};
    settings.DatabaseConfigured = false;
    settings.ProjectFile.clear();
    settings.setCurrentBadgePath({});
    mnuEditCard->setEnabled(false);
    updateTitle();
}

void mainMdi::onExit()
{
    // Closing asks what closing the window asks (the designer's changes, the project's), once:
    // quitting with the window still open would close it and ask again.
    if (MsgBox(m_dialogs, this, QStringLiteral("Do you want to exit from application"),
               MessageButtons::YesNo) == MessageAnswer::Yes)
        close();
}

void mainMdi::onDatabaseConfiguration()
{
    if (ProjectSettings::instance().ProjectState != ProjectState::None)
        showWindow(QStringLiteral("frmConfigure"));
}

void mainMdi::onCreateLayout()
{
    if (!ProjectSettings::instance().DatabaseConfigured) {
        MsgBox(m_dialogs, this, QStringLiteral("Database not found."));
        showWindow(QStringLiteral("frmConfigure"));
        return;
    }
    // A designer already open starts a new badge, after asking about unsaved changes.
    const bool open = loadedWindow(QStringLiteral("frmDesigner")) != nullptr;
    auto* designer = static_cast<frmDesigner*>(showWindow(QStringLiteral("frmDesigner")));
    if (open)
        designer->newBadge();
}

void mainMdi::onOpenExistingLayout()
{
    Cdlg.Filter = QStringLiteral("Badge file (*.Lyt)|*.Lyt");
    Cdlg.FileName.clear();
    Cdlg.InitDir = ProjectSettings::instance().BadgeDir;
    Cdlg.ShowOpen();
    if (Cdlg.FileName.size() < 4)
        return;
    openBadgeLayout(Cdlg.FileName);
}

void mainMdi::openBadgeLayout(const QString& path)
{
    ProjectSettings& settings = ProjectSettings::instance();
    const BadgeLayoutRead read = openBadge(path, settings.ProjectName, settings.DatabasePath,
                                           FieldTagRule::TableAndColumn)
                                     .read;
    m_front->Load_Card(read);
    m_back->Load_Card(read);
    settings.setCurrentBadgePath(path);
    if (read.status != LoadStatus::Loaded)
        return; // a badge that did not load is no badge of the project
    const QString title = fileTitle(path);
    settings.addBadge(title.left(title.size() - 4));
}

bool mainMdi::linkRecordToViews(RecordLinker& linker, const RecordKey& key, QString* reasonInstead)
{
    return showLinked(linker.link(key), reasonInstead);
}

bool mainMdi::showLinked(const LinkResult& result, QString* reasonInstead)
{
    if (result.record) {
        m_front->showRecord(*result.record);
        m_back->showRecord(*result.record);
        return true;
    }
    m_front->showNoRecord();
    m_back->showNoRecord();
    if (reasonInstead)
        *reasonInstead = result.message;
    else if (result.outcome == LinkOutcome::Rejected)
        m_dialogs.message(this, {QStringLiteral("Error in data linking"),
                                 MessageButtons::Ok,
                                 MessageIcon::None,
                                 {},
                                 result.message});
    else
        MsgBox(m_dialogs, this, result.message, MessageButtons::Ok, MessageIcon::Exclamation);
    return false;
}

void mainMdi::takePicture(PictureKind kind)
{
    const ProjectSettings& settings = ProjectSettings::instance();
    const bool photo = kind == PictureKind::Photo;
    const QString picture = photo ? QStringLiteral("photograph") : QStringLiteral("signature");
    if (!isPictureFieldSet(photo ? settings.PhotoField : settings.SignField)) {
        MsgBox(m_dialogs, this,
               QStringLiteral("The project has no %1 column, so a %1 taken could not be found "
                              "again. Choose the column with Project > Database Configuration "
                              "first.")
                   .arg(picture),
               MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }
    const std::optional<LinkedRecord>& person = m_front->record();
    if (!person) {
        MsgBox(m_dialogs, this,
               QStringLiteral("Choose a person in the record list first: the %1 is taken for "
                              "the person the badge shows.")
                   .arg(picture),
               MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }
    PictureTarget target{kind, *person, {}, settings.stored()};
    for (const RenderingWindow* view : {m_front, m_back}) {
        const PictureFrame& frame = photo ? view->layout().imgPhoto : view->layout().imgSign;
        if (frame.Visible && frame.Width > 0 && frame.Height > 0) {
            target.frameTwips = QSizeF(frame.Width, frame.Height);
            break;
        }
    }
    static_cast<frmCapture*>(showWindow(QStringLiteral("frmCapture")))->takeFor(target);
}

QPrinter* mainMdi::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

PrintJournal* mainMdi::printJournal()
{
    const ProjectSettings& project = ProjectSettings::instance();
    if (!m_journalProject.isEmpty() && m_journalProject != project.ProjectFile) {
        m_journal.reset();
        m_journalProject.clear();
    }
    if (!m_journal && !project.ProjectFile.isEmpty()) {
        m_journal = std::make_unique<IssuanceJournal>(project.ProjectFile, project.stored());
        m_journalProject = project.ProjectFile;
    }
    return m_journal.get();
}

void mainMdi::setPrintJournal(std::unique_ptr<PrintJournal> journal)
{
    m_journal = std::move(journal);
    m_journalProject.clear();
}

void mainMdi::refreshPrintCounts()
{
    if (auto* browser = qobject_cast<frmData*>(loadedWindow(QStringLiteral("frmData"))))
        browser->issuance()->refresh();
}

bool mainMdi::testPrints() const
{
    return mnuTestPrint->isChecked();
}

void mainMdi::onPrinterSetup()
{
    cdlgPrinting.ShowPrinter(printer());
}

void mainMdi::onPrintSetup()
{
    m_dialogs.pageSetup(this, printer());
}

bool mainMdi::printSide(RenderingWindow* view)
{
    const bool front = view->side() == RenderingWindow::Side::Front;
    const QString sideName = front ? QStringLiteral("front") : QStringLiteral("back");
    if (holdsNothing(view->badgeSide())) {
        m_dialogs.message(this,
                          {QStringLiteral("Nothing to print: the %1 view is empty.").arg(sideName),
                           MessageButtons::Ok,
                           MessageIcon::Exclamation,
                           {},
                           QStringLiteral("Open a layout with Layouts > Open Existing, or "
                                          "choose a badge in the record list.")});
        return false;
    }
    const std::optional<LinkedRecord>& person = view->record();
    PrintJournal* journal = person ? printJournal() : nullptr;
    const std::optional<PrintIntent> intent =
        askPrintIntent(m_dialogs, this, journal, testPrints(),
                       person ? QStringList{person->key.text()} : QStringList());
    if (!intent)
        return false;
    QPrinter& printer = *this->printer();
    // Printing to a file asks for its name every time, starting from the last one, so a print
    // never replaces an earlier one unasked (the file dialog confirms a replacement).
    const bool setupToFile =
        printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    const bool noPrinter = !setupToFile && QPrinterInfo::availablePrinterNames().isEmpty();
    if (setupToFile || noPrinter) {
        Cdlg.Filter = QStringLiteral("PDF file (*.pdf)|*.pdf");
        Cdlg.InitDir = ProjectSettings::instance().ProjectDir;
        Cdlg.FileName = setupToFile
                            ? printer.outputFileName()
                            : (front ? QStringLiteral("Front.pdf") : QStringLiteral("Back.pdf"));
        Cdlg.DialogTitle = noPrinter
                               ? QStringLiteral("No printer is installed: print to a PDF file")
                               : QStringLiteral("Print the %1 side to a PDF file").arg(sideName);
        Cdlg.ShowSave();
        Cdlg.DialogTitle.clear();
        if (Cdlg.FileName.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(withSuffix(Cdlg.FileName, QStringLiteral(".pdf")));
    }
    const QString file = printer.outputFileName();
    // The side at its card size, vector text and full-resolution pictures, at the top-left of
    // the printable area, and nothing of it beyond the card; moved by the printer's own offset.
    const QPointF offset = printerOffsetFor(printer, QSettings());
    // The view's pictures are decoded for the screen: the paper gets them from their files.
    std::optional<BadgeSide> forPaper;
    if (view->record()) {
        PrintSlot slot{view->layout(), view->record(), view->cardSize()};
        slot.keepPicturesForPrint();
        forPaper = slot.shown();
    }
    const BadgeSide& side = forPaper ? *forPaper : view->badgeSide();
    const Status printed =
        paintOnPrinter(printer, [&](QPainter& painter, QPagedPaintDevice&, int resolution) {
            painter.translate(offset * resolution / 25.4);
            RenderOptions options = renderOptions(RenderMode::Output, view->cardSize());
            options.testPrint = intent->testPrint;
            renderCard(painter, side, resolution, resolution, options);
            return Status();
        });
    if (noPrinter)
        printer.setOutputFileName({}); // the next print without a printer asks again
    if (!printed) {
        m_dialogs.message(this, {QStringLiteral("The badge could not be printed."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 printed.error()});
        return false;
    }
    if (person) {
        PrintJob job;
        job.output = file.isEmpty() ? printer.printerName() : file;
        job.again = intent->again;
        job.testPrint = intent->testPrint;
        job.badges << PrintedBadge{recordedLayoutName(ProjectSettings::instance().currentBadgePath()),
                                   printedSidesName(front, !front), person->key.text(),
                                   printedFingerprint({&view->layout()}, *person)};
        recordPrint(m_dialogs, this, journal, job);
        refreshPrintCounts();
    }
    statusBar()->showMessage(
        (file.isEmpty() ? QStringLiteral("The %1 side was sent to the printer %2.")
                              .arg(sideName, printer.printerName())
                        : QStringLiteral("The %1 side was printed to %2.")
                              .arg(sideName, QDir::toNativeSeparators(file))) +
        (intent->testPrint ? QStringLiteral(" It was a test print, not recorded.") : QString()));
    return true;
}

void mainMdi::onChangeLayout()
{
    const QString path = ProjectSettings::instance().currentBadgePath();
    if (path.isEmpty())
        return;
    // One reading writes all three scratch files and shows the front.
    auto* designer = static_cast<frmDesigner*>(showWindow(QStringLiteral("frmDesigner")));
    designer->Load_Card(0, path);
}

} // namespace vm
