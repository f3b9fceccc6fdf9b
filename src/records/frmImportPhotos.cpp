#include "records/frmImportPhotos.h"

#include "photo/PhotoImport.h"
#include "project/ProjectSettings.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <atomic>

namespace vm {

struct frmImportPhotos::Running {
    std::atomic<bool> cancel = false;
    bool dryRun = false;
    PhotoImportReport report;
};

frmImportPhotos::frmImportPhotos(Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmImportPhotos"));
    setWindowTitle(QStringLiteral("Import Photos"));
    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    const auto named = [](auto* control, const char* name) {
        control->setObjectName(QLatin1String(name));
        return control;
    };

    txtFolder = named(new QLineEdit(body), "txtFolder");
    auto* lblFolder = named(new QLabel(QStringLiteral("Photo &folder:"), body), "lblFolder");
    lblFolder->setBuddy(txtFolder);
    cmdBrowse = named(new QPushButton(QStringLiteral("&Browse..."), body), "cmdBrowse");
    cmdBrowse->setAccessibleName(QStringLiteral("Browse for the photo folder"));
    grid->addWidget(lblFolder, 0, 0);
    grid->addWidget(txtFolder, 0, 1);
    grid->addWidget(cmdBrowse, 0, 2);

    cmbBadge = named(new QComboBox(body), "cmbBadge");
    auto* lblBadge =
        named(new QLabel(QStringLiteral("Crop to the photo frame of &badge:"), body), "lblBadge");
    lblBadge->setBuddy(cmbBadge);
    cmbBadge->setAccessibleName(QStringLiteral("Crop to the photo frame of badge"));
    cmbBadge->addItem(QStringLiteral("(the first that shows a photograph)"), QString());
    for (const QString& badge : ProjectSettings::instance().badges())
        cmbBadge->addItem(badge, badge);
    grid->addWidget(lblBadge, 1, 0);
    grid->addWidget(cmbBadge, 1, 1, 1, 2);

    chkReplace = named(new QCheckBox(QStringLiteral("&Replace photographs people have (each "
                                                    "replaced one is kept as NAME.previous.jpg)"),
                                     body),
                       "chkReplace");
    grid->addWidget(chkReplace, 2, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    cmdDryRun = named(new QPushButton(QStringLiteral("&Check Only"), body), "cmdDryRun");
    cmdDryRun->setToolTip(QStringLiteral("Say what would be imported; write nothing"));
    cmdImport = named(new QPushButton(QStringLiteral("&Import"), body), "cmdImport");
    cmdClose = named(new QPushButton(QStringLiteral("Close"), body), "cmdClose");
    buttons->addWidget(cmdDryRun);
    buttons->addWidget(cmdImport);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, 3, 0, 1, 3);

    prgImport = named(new QProgressBar(body), "prgImport");
    prgImport->setAccessibleName(QStringLiteral("Photographs imported"));
    prgImport->hide();
    grid->addWidget(prgImport, 4, 0, 1, 2);
    cmdCancel = named(new QPushButton(QStringLiteral("Ca&ncel"), body), "cmdCancel");
    cmdCancel->setToolTip(QStringLiteral("Stop after the photograph being written; those "
                                         "written stay"));
    cmdCancel->hide();
    grid->addWidget(cmdCancel, 4, 2);
    lblSummary = named(new QLabel(body), "lblSummary");
    lblSummary->setWordWrap(true);
    grid->addWidget(lblSummary, 5, 0, 1, 3);
    txtReport = named(new QPlainTextEdit(body), "txtReport");
    txtReport->setReadOnly(true);
    txtReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtReport->setAccessibleName(QStringLiteral("Import report"));
    lblSummary->setBuddy(txtReport);
    grid->addWidget(txtReport, 6, 0, 1, 3);
    grid->setRowStretch(6, 1);
    setWidget(body);
    resize(720, 480);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmImportPhotos::browse);
    connect(cmdDryRun, &QPushButton::clicked, this, [this] { run(true); });
    connect(cmdImport, &QPushButton::clicked, this, [this] { run(false); });
    connect(cmdCancel, &QPushButton::clicked, this, &frmImportPhotos::cancel);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

frmImportPhotos::~frmImportPhotos()
{
    // Closing the project deletes the window: the import stops before its project goes.
    if (m_running)
        m_running->cancel = true;
    if (m_thread)
        m_thread->wait();
}

void frmImportPhotos::closeEvent(QCloseEvent* event)
{
    cancel();
    QMdiSubWindow::closeEvent(event);
}

void frmImportPhotos::browse()
{
    const QString folder = m_dialogs.folder(
        this, QStringLiteral("Folder of photographs to import"),
        txtFolder->text().isEmpty() ? ProjectSettings::instance().ProjectDir : txtFolder->text());
    if (!folder.isEmpty())
        txtFolder->setText(folder);
}

void frmImportPhotos::run(bool dryRun)
{
    if (m_thread)
        return;
    if (txtFolder->text().trimmed().isEmpty()) {
        MsgBox(m_dialogs, this, QStringLiteral("Choose the folder of photographs to import."),
               MessageButtons::Ok, MessageIcon::Exclamation);
        txtFolder->setFocus();
        return;
    }
    m_running = std::make_shared<Running>();
    m_running->dryRun = dryRun;
    PhotoImportRequest request;
    request.folder = txtFolder->text().trimmed();
    request.dryRun = dryRun;
    request.replace = chkReplace->isChecked();
    request.badge = cmbBadge->currentData().toString();
    request.cancel = &m_running->cancel;

    setImporting(true);
    prgImport->setRange(0, 0); // busy until the matched files are counted
    lblSummary->setText(dryRun ? QStringLiteral("Checking the folder...")
                               : QStringLiteral("Importing..."));
    txtReport->clear();
    // The worker reports only to this window, which waits for it before it goes.
    m_thread.reset(QThread::create(
        [this, running = m_running, request, project = ProjectSettings::instance().stored()] {
            running->report = importPhotos(project, request, [this](int done, int total) {
                QMetaObject::invokeMethod(
                    this, [this, done, total] { showProgress(done, total); },
                    Qt::QueuedConnection);
            });
        }));
    connect(m_thread.get(), &QThread::finished, this, &frmImportPhotos::finish);
    m_thread->start();
}

void frmImportPhotos::cancel()
{
    if (!m_running || m_running->cancel)
        return;
    m_running->cancel = true;
    cmdCancel->setEnabled(false);
    lblSummary->setText(QStringLiteral("Cancelling: the photograph being written is finished "
                                       "first..."));
}

void frmImportPhotos::showProgress(int done, int total)
{
    if (!m_running || m_running->cancel)
        return;
    prgImport->setRange(0, total);
    prgImport->setValue(done);
    lblSummary->setText(QStringLiteral("Importing: %1 of %2 photographs...").arg(done).arg(total));
}

void frmImportPhotos::finish()
{
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
    const std::shared_ptr<Running> done = std::exchange(m_running, nullptr);
    setImporting(false);
    showReport(done->report, done->dryRun);
    txtReport->setFocus();
}

void frmImportPhotos::setImporting(bool importing)
{
    for (QWidget* control : {static_cast<QWidget*>(cmdDryRun), static_cast<QWidget*>(cmdImport),
                             static_cast<QWidget*>(cmdBrowse), static_cast<QWidget*>(txtFolder),
                             static_cast<QWidget*>(cmbBadge), static_cast<QWidget*>(chkReplace)})
        control->setEnabled(!importing);
    prgImport->setVisible(importing);
    cmdCancel->setVisible(importing);
    cmdCancel->setEnabled(importing);
    if (importing)
        cmdCancel->setFocus();
}

void frmImportPhotos::showReport(const PhotoImportReport& report, bool dryRun)
{
    txtReport->setPlainText(describeImport(report, dryRun).join(QLatin1Char('\n')));
    if (!report.unusable.isEmpty()) {
        lblSummary->setText(QStringLiteral("Nothing was imported."));
        MsgBox(m_dialogs, this, report.unusable, MessageButtons::Ok, MessageIcon::Critical);
        return;
    }
    QStringList counts{QStringLiteral("%1 %2")
                           .arg(report.imported.size())
                           .arg(dryRun ? QStringLiteral("to import") : QStringLiteral("imported"))};
    const auto count = [&](qsizetype n, const char* what) {
        if (n > 0)
            counts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(what));
    };
    count(report.notDone.size(), "left when cancelled");
    count(report.kept.size(), "kept");
    count(report.failures.size(), "failed");
    count(report.unmatched.size(), "files matching no one");
    count(report.duplicates.size(), "people with two or more files");
    count(report.withoutPhoto.size(), "people without a photograph");
    lblSummary->setText(counts.join(QStringLiteral(", ")) + QLatin1Char('.'));
    // A wrapped label set after the layout was made keeps its old height unless told.
    lblSummary->setMinimumHeight(lblSummary->heightForWidth(lblSummary->width()));
    if (!dryRun && !report.imported.isEmpty())
        Q_EMIT photosImported();
}

} // namespace vm
