#include "project/frmConfigure.h"

#include "common/FileNames.h"
#include "project/AccessImport.h"
#include "project/DatabaseWaiting.h"
#include "project/ProjectCheck.h"
#include "project/ProjectSaving.h"
#include "project/frmNewProj.h"
#include "widgets/CodePageBox.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlRecord>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <utility>

#include <tuple>

namespace vm {
namespace {

// The columns of a table as the wizard lists them, read aside while the window stays drawn.
QStringList columnsOf(QMdiArea* area, DatabaseConnection& connection, const QString& table,
                      QString* why = nullptr)
{
    return readAside<QStringList>(
        area, connection, QObject::tr("Reading the columns of %1").arg(table),
        [&](DatabaseConnection& db) { return ListFieldNames(db, table, why); });
}

const QString NotSelected = QStringLiteral("Not Selected");

// Code pages old Access files were written in; the first keeps the one the file names.
struct CodePage {
    const char* name;
    const char* shown;
};
constexpr CodePage CodePages[] = {
    {"", "As the file says"},
    {"CP1252", "Windows-1252 (Western Europe)"},
    {"CP1250", "Windows-1250 (Central Europe)"},
    {"CP1251", "Windows-1251 (Cyrillic)"},
    {"CP1253", "Windows-1253 (Greek)"},
    {"CP1254", "Windows-1254 (Turkish)"},
    {"CP1255", "Windows-1255 (Hebrew)"},
    {"CP1256", "Windows-1256 (Arabic)"},
    {"CP1257", "Windows-1257 (Baltic)"},
    {"CP1258", "Windows-1258 (Vietnamese)"},
    {"CP874", "Windows-874 (Thai)"},
    {"CP932", "Windows-932 (Japanese)"},
    {"CP936", "Windows-936 (Simplified Chinese)"},
    {"CP949", "Windows-949 (Korean)"},
    {"CP950", "Windows-950 (Traditional Chinese)"},
    {"CP437", "DOS 437 (United States)"},
    {"CP850", "DOS 850 (Western Europe)"},
};

QStringList itemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

template <class Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Selects the entry with this text, or none.
void selectText(QComboBox* combo, const QString& text)
{
    combo->setCurrentIndex(text.isEmpty() ? -1 : combo->findText(text, Qt::MatchExactly));
}

QString counted(qsizetype n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString shownOrNotSelected(const QString& text)
{
    return text.isEmpty() ? NotSelected : text;
}

} // namespace

void RefillingComboBox::showPopup()
{
    Q_EMIT aboutToOpen();
    QComboBox::showPopup();
}

frmConfigure::frmConfigure(Dialogs& dialogs, CommonDialog& mainFileDialog, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
    , m_mainFileDialog(mainFileDialog)
    , cdlg(dialogs, this)
{
    setObjectName(QStringLiteral("frmConfigure"));
    setWindowTitle(QStringLiteral("Configure Databse"));
    m_connection.setUsesProjectAccessCharset(false); // the code page list says which
    auto* body = new QWidget(this);
    m_frames = new QStackedLayout;
    const char* const captions[] = {"Database File", "Data Tables", "Relation And Linking",
                                    "Photo And Signature", "Database File"};
    for (int i = 0; i <= LastStep; ++i) {
        auto* frame = new QGroupBox(QString::fromLatin1(captions[i]), body);
        frame->setObjectName(QStringLiteral("Frame1_%1").arg(i));
        Frame1 << frame;
        m_frames->addWidget(frame);
    }
    buildDatabaseStep(Frame1[0]);
    buildTablesStep(Frame1[1]);
    buildRelationStep(Frame1[2]);
    buildImageStep(Frame1[3]);
    buildSummaryStep(Frame1[4]);

    cmdBack = named(new QPushButton(QStringLiteral("Bac&k"), body), "cmdBack");
    cmdNext = named(new QPushButton(QStringLiteral("&Next"), body), "cmdNext");
    cmdFinish = named(new QPushButton(QStringLiteral("&Finish"), body), "cmdFinish");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdFinish);
    auto* layout = new QVBoxLayout(body);
    layout->addLayout(m_frames, 1);
    layout->addLayout(buttons);
    setWidget(body);
    resize(560, 520);

    connect(cmdBack, &QPushButton::clicked, this, &frmConfigure::back);
    connect(cmdNext, &QPushButton::clicked, this, &frmConfigure::next);
    connect(cmdFinish, &QPushButton::clicked, this, &frmConfigure::finish);

    // Load: the first step, the folders of the project, and the project's own choices when its
    // database is configured already.
    const ProjectSettings& settings = ProjectSettings::instance();
    CurrentStep = 0;
    cmdBack->setEnabled(false);
    cmdFinish->setEnabled(false);
    m_placeImages = settings.PlaceImages;
    txtImgPath->setText(settings.PhotoDir);
    txtSignPath->setText(settings.SignDir);
    cmbTextCodePage->setCodePage(settings.CodePage);
    ShowFrame();
    if (settings.DatabaseConfigured)
        ShowConfig();
}

frmConfigure::~frmConfigure() = default;

void frmConfigure::buildDatabaseStep(QGroupBox* frame)
{
    txtDBPath = named(new QLineEdit(frame), "txtDBPath");
    txtDBPath->setPlaceholderText(
        tr("An Access or SQLite file, or postgresql://user@host:port/database"));
    cmdBrowse = named(new QPushButton(QStringLiteral("&Browse"), frame), "cmdBrowse");
    cmdTestConnection = named(new QPushButton(tr("&Test connection"), frame), "cmdTestConnection");
    lblConnection = named(new QLabel(frame), "lblConnection");
    lblConnection->setWordWrap(true);
    cmbCodePage = named(new QComboBox(frame), "cmbCodePage");
    for (const CodePage& page : CodePages)
        cmbCodePage->addItem(QString::fromLatin1(page.shown), QByteArray(page.name));
    lblCodePageSample = named(new QLabel(frame), "lblCodePageSample");
    lblCodePageSample->setWordWrap(true);
    lstTables = named(new QListWidget(frame), "lstTables");

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(txtDBPath, 1);
    pathRow->addWidget(cmdBrowse);
    pathRow->addWidget(cmdTestConnection);
    auto* codePageLabel = buddyLabel(tr("Code page of the text"), cmbCodePage);
    codePageLabel->setObjectName(QStringLiteral("lblCodePage"));
    auto* codePageRow = new QHBoxLayout;
    codePageRow->addWidget(codePageLabel);
    codePageRow->addWidget(cmbCodePage, 1);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(buddyLabel(QStringLiteral("Databse Path"), txtDBPath));
    layout->addLayout(pathRow);
    layout->addWidget(lblConnection);
    layout->addLayout(codePageRow);
    layout->addWidget(lblCodePageSample);
    layout->addWidget(buddyLabel(QStringLiteral("Data Tables"), lstTables));
    layout->addWidget(lstTables, 1);
    cmbTextCodePage = new CodePageBox(frame);
    auto* textCodePageRow = new QHBoxLayout;
    textCodePageRow->addWidget(cmbTextCodePage->label());
    textCodePageRow->addWidget(cmbTextCodePage, 1);
    layout->addLayout(textCodePageRow);
    setCodePageOffered(false);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmConfigure::browseDatabase);
    connect(cmdTestConnection, &QPushButton::clicked, this, &frmConfigure::testConnection);
    connect(txtDBPath, &QLineEdit::returnPressed, this, &frmConfigure::testConnection);
    // Reading the file again lists its tables and shows sample texts in the chosen code page.
    connect(cmbCodePage, &QComboBox::activated, this, [this] { openDatabase(databasePath()); });
}

void frmConfigure::buildTablesStep(QGroupBox* frame)
{
    lstAllTables = named(new QListWidget(frame), "lstAllTables");
    lstSelectedTables = named(new QListWidget(frame), "lstSelectedTables");
    cmdAddTable = named(new QPushButton(QStringLiteral("Add  >>"), frame), "cmdAddTable");
    cmdRemTable = named(new QPushButton(QStringLiteral("<< Remove"), frame), "cmdRemTable");
    lblUnavailable =
        named(new QLabel(tr("Greyed names cannot be read here; point at one to see why."), frame),
              "lblUnavailable");
    lblUnavailable->setWordWrap(true);
    lblUnavailable->hide(); // until a listed name cannot be read

    auto* grid = new QGridLayout(frame);
    grid->addWidget(buddyLabel(QStringLiteral("All Tables"), lstAllTables), 0, 0);
    grid->addWidget(buddyLabel(QStringLiteral("Selected Tables"), lstSelectedTables), 0, 2);
    grid->addWidget(lstAllTables, 1, 0);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(cmdAddTable);
    middle->addWidget(cmdRemTable);
    middle->addStretch();
    grid->addLayout(middle, 1, 1);
    grid->addWidget(lstSelectedTables, 1, 2);
    grid->addWidget(lblUnavailable, 2, 0, 1, 3);

    connect(cmdAddTable, &QPushButton::clicked, this, &frmConfigure::addTable);
    connect(cmdRemTable, &QPushButton::clicked, this, &frmConfigure::removeTable);
    connect(lstAllTables, &QListWidget::itemDoubleClicked, this, &frmConfigure::addTable);
    connect(lstSelectedTables, &QListWidget::itemDoubleClicked, this, &frmConfigure::removeTable);
    lstAllTables->installEventFilter(this);
    lstSelectedTables->installEventFilter(this);
}

void frmConfigure::buildRelationStep(QGroupBox* frame)
{
    cmbMasterTable = named(new RefillingComboBox(frame), "cmbMasterTable");
    cmbUniqueField = named(new QComboBox(frame), "cmbUniqueField");
    lstRelatedTables = named(new QListWidget(frame), "lstRelatedTables");
    cmbRelations = named(new QComboBox(frame), "cmbRelations");
    cmdRemoveRelation =
        named(new QPushButton(QStringLiteral("Remove"), frame), "cmdRemoveRelation");
    cmdRemoveRelation->setAccessibleName(tr("Remove relation"));
    frmRelation = named(new QGroupBox(frame), "frmRelation");
    frmRelation->setAccessibleName(tr("New relation"));
    cmbMaster = named(new QComboBox(frmRelation), "cmbMaster");
    cmbMasterField = named(new QComboBox(frmRelation), "cmbMasterField");
    cmbChild = named(new QComboBox(frmRelation), "cmbChild");
    cmbLinkingField = named(new QComboBox(frmRelation), "cmbLinkingField");
    Command1 = named(new QPushButton(QStringLiteral("Create Relation"), frmRelation), "Command1");

    auto* relation = new QGridLayout(frmRelation);
    relation->addWidget(buddyLabel(QStringLiteral("Master"), cmbMaster), 0, 0);
    relation->addWidget(cmbMaster, 1, 0);
    relation->addWidget(buddyLabel(QStringLiteral("Master Field"), cmbMasterField), 0, 1);
    relation->addWidget(cmbMasterField, 1, 1);
    relation->addWidget(buddyLabel(QStringLiteral("Child"), cmbChild), 2, 0);
    relation->addWidget(cmbChild, 3, 0);
    relation->addWidget(buddyLabel(QStringLiteral("Linking Field"), cmbLinkingField), 2, 1);
    relation->addWidget(cmbLinkingField, 3, 1);
    relation->addWidget(Command1, 4, 1, Qt::AlignRight);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(buddyLabel(QStringLiteral("Select Master Table"), cmbMasterTable), 0, 0);
    grid->addWidget(cmbMasterTable, 1, 0);
    grid->addWidget(buddyLabel(QStringLiteral("Unique Field"), cmbUniqueField), 0, 1);
    grid->addWidget(cmbUniqueField, 1, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Related Tables"), lstRelatedTables), 2, 0);
    grid->addWidget(lstRelatedTables, 3, 0, 3, 1);
    grid->addWidget(buddyLabel(QStringLiteral("Relations"), cmbRelations), 2, 1);
    auto* relations = new QHBoxLayout;
    relations->addWidget(cmbRelations, 1);
    relations->addWidget(cmdRemoveRelation);
    grid->addLayout(relations, 3, 1);
    grid->addWidget(frmRelation, 4, 1);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 2);

    connect(cmbMasterTable, &RefillingComboBox::aboutToOpen, this,
            &frmConfigure::refillMasterTables);
    connect(cmbMasterTable, &QComboBox::activated, this, &frmConfigure::chooseMasterTable);
    connect(cmbMaster, &QComboBox::activated, this, [this](int index) {
        // A relation may also start at a child table, for one that hangs off another child.
        cmbMasterField->clear();
        cmbMasterField->addItems(columnsOf(mdiArea(), m_connection, cmbMaster->itemText(index)));
        cmbMasterField->setCurrentIndex(cmbMasterField->count() > 0 ? 0 : -1);
    });
    connect(cmbChild, &QComboBox::activated, this, &frmConfigure::chooseChild);
    connect(Command1, &QPushButton::clicked, this, &frmConfigure::createRelation);
    connect(cmdRemoveRelation, &QPushButton::clicked, this, &frmConfigure::removeRelation);
}

void frmConfigure::buildImageStep(QGroupBox* frame)
{
    chkPlaceImages =
        named(new QCheckBox(QStringLiteral("&Place Image And Sign"), frame), "chkPlaceImages");
    frmImages = named(new QGroupBox(frame), "frmImages");
    frmImages->setAccessibleName(tr("Photograph and signature"));
    txtImgPath = named(new QLineEdit(frmImages), "txtImgPath");
    Command3 = named(new QPushButton(QStringLiteral("Browse"), frmImages), "Command3");
    Command3->setAccessibleName(tr("Browse for the image folder"));
    cmbImageField = named(new RefillingComboBox(frmImages), "cmbImageField");
    cmbSignField = named(new RefillingComboBox(frmImages), "cmbSignField");
    txtSignPath = named(new QLineEdit(frmImages), "txtSignPath");
    cmdSignFolder = named(new QPushButton(QStringLiteral("Browse"), frmImages), "cmdSignFolder");
    cmdSignFolder->setAccessibleName(tr("Browse for the signature folder"));
    frmImages->setEnabled(false);

    auto* grid = new QGridLayout(frmImages);
    grid->addWidget(buddyLabel(QStringLiteral("Image Folder :"), txtImgPath), 0, 0);
    grid->addWidget(txtImgPath, 0, 1);
    grid->addWidget(Command3, 0, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Image Field"), cmbImageField), 1, 0);
    grid->addWidget(cmbImageField, 1, 1, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Sign Field"), cmbSignField), 2, 0);
    grid->addWidget(cmbSignField, 2, 1, 1, 2);
    grid->addWidget(buddyLabel(QStringLiteral("Sign.Folder :"), txtSignPath), 3, 0);
    grid->addWidget(txtSignPath, 3, 1);
    grid->addWidget(cmdSignFolder, 3, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(chkPlaceImages);
    layout->addWidget(frmImages);
    layout->addStretch();

    connect(chkPlaceImages, &QCheckBox::clicked, this, &frmConfigure::placeImagesClicked);
    for (RefillingComboBox* combo : {cmbImageField, cmbSignField}) {
        connect(combo, &RefillingComboBox::aboutToOpen, this,
                [this, combo] { refillPictureFields(combo); });
    }
    connect(cmbImageField, &QComboBox::activated, this,
            [this] { lblImageField->setText(shownOrNotSelected(cmbImageField->currentText())); });
    connect(cmbSignField, &QComboBox::activated, this,
            [this] { lblSignField->setText(shownOrNotSelected(cmbSignField->currentText())); });
    connect(Command3, &QPushButton::clicked, this, [this] { Q_EMIT folderWanted(txtImgPath); });
    connect(cmdSignFolder, &QPushButton::clicked, this,
            [this] { Q_EMIT folderWanted(txtSignPath); });
}

void frmConfigure::buildSummaryStep(QGroupBox* frame)
{
    auto* heading = new QLabel(QStringLiteral("Database Configured"), frame);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto summary = [frame](const char* name) {
        auto* label = named(new QLabel(NotSelected, frame), name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
        return label;
    };
    lblDatabase = summary("lblDatabase");
    lblMasterTable = summary("lblMasterTable");
    lblTotalSelTables = summary("lblTotalSelTables");
    lblTotalRelations = summary("lblTotalRelations");
    lblImageField = summary("lblImageField");
    lblSignField = summary("lblSignField");
    lblImagePath = summary("lblImagePath");
    lblSignPath = summary("lblSignPath");
    lblPictureCheck = named(new QLabel(frame), "lblPictureCheck");
    lblPictureCheck->setWordWrap(true);
    lblPictureCheck->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblTotalSelTables->setText(QStringLiteral("0"));
    lblTotalRelations->setText(QStringLiteral("0"));

    auto* form = new QFormLayout;
    form->addRow(tr("Database"), lblDatabase);
    form->addRow(tr("Master Table"), lblMasterTable);
    form->addRow(QStringLiteral("Total Tables"), lblTotalSelTables);
    form->addRow(QStringLiteral("Total Relations"), lblTotalRelations);
    form->addRow(QStringLiteral("Image Field"), lblImageField);
    form->addRow(QStringLiteral("Signature Field"), lblSignField);
    form->addRow(QStringLiteral("Image Path"), lblImagePath);
    form->addRow(QStringLiteral("Signature Path"), lblSignPath);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(heading);
    layout->addLayout(form);
    layout->addWidget(lblPictureCheck);
    layout->addStretch();

    connect(txtImgPath, &QLineEdit::textChanged, this,
            [this](const QString& text) { lblImagePath->setText(shownOrNotSelected(text)); });
    connect(txtSignPath, &QLineEdit::textChanged, this,
            [this](const QString& text) { lblSignPath->setText(shownOrNotSelected(text)); });
}

void frmConfigure::ShowFrame()
{
    m_frames->setCurrentIndex(CurrentStep);
}

// The database as the project stores it: the path box, with the code page of an old Access
// file when one is chosen.
QString frmConfigure::databasePath() const
{
    const QString path = txtDBPath->text().trimmed();
    if (!m_offerCodePage || engineForPath(path) != DatabaseEngine::Access)
        return path;
    return accessPathWithCharset(splitAccessPath(path).file,
                                 cmbCodePage->currentData().toByteArray());
}

bool frmConfigure::openDatabase(const QString& path)
{
    const QString previousFile = splitAccessPath(m_openedPath).file;
    m_openedPath.clear();
    lstTables->clear();
    lstAllTables->clear();
    lblUnavailable->hide();
    if (!openWhileWaiting(mdiArea(), m_connection, path)) {
        const QString why = m_connection.errorText();
        lblConnection->setText(tr("Not connected: %1").arg(why));
        m_dialogs.message(
            this,
            {QStringLiteral("Not Connected"), MessageButtons::Ok, MessageIcon::None, {}, why});
        return false;
    }
    // Tables chosen from another database mean nothing in this one.
    if (!previousFile.isEmpty() && splitAccessPath(path).file != previousFile)
        clearTableChoices();
    m_openedPath = path;
    listTables();
    refreshColumnLists();
    return true;
}

void frmConfigure::clearTableChoices()
{
    lstSelectedTables->clear();
    cmbMasterTable->clear();
    cmbMaster->clear();
    lstRelatedTables->clear();
    cmbChild->clear();
    cmbUniqueField->clear();
    cmbMasterField->clear();
    cmbLinkingField->clear();
    cmbRelations->clear();
    cmbImageField->clear();
    cmbSignField->clear();
    lblImageField->setText(NotSelected);
    lblSignField->setText(NotSelected);
    updateTotals();
}

void frmConfigure::fillTableItem(QListWidgetItem* item)
{
    const QString why = unusableTableReason(m_connection, item->text());
    if (why.isEmpty())
        return;
    item->setFlags(Qt::ItemNeverHasChildren); // shown, but cannot be chosen
    item->setToolTip(why);
    item->setData(Qt::AccessibleDescriptionRole, why);
}

void frmConfigure::listTables()
{
    lstTables->clear();
    lstAllTables->clear();
    const QStringList selected = itemTexts(lstSelectedTables);
    int unusable = 0;
    const QStringList tables = ListUserTables(m_connection);
    for (const QString& table : tables) {
        auto* item = new QListWidgetItem(table, lstTables);
        fillTableItem(item);
        if (!(item->flags() & Qt::ItemIsEnabled))
            ++unusable;
        if (!selected.contains(table))
            fillTableItem(new QListWidgetItem(table, lstAllTables));
    }
    QString state;
    switch (m_connection.engine()) {
    case DatabaseEngine::SQLite:
        state =
            tr("Connected to the SQLite file: %1.").arg(counted(tables.size(), "table", "tables"));
        break;
    case DatabaseEngine::Access:
        state = tr("Connected to the Access file, read-only: %1.")
                    .arg(counted(tables.size(), "table or query", "tables and queries"));
        break;
    case DatabaseEngine::PostgreSQL:
        state = tr("Connected to the PostgreSQL database: %1.")
                    .arg(counted(tables.size(), "table", "tables"));
        break;
    }
    if (unusable > 0)
        state += u' ' + tr("%1 cannot be read here and %2 greyed; point at one to see why.")
                            .arg(counted(unusable, "name", "names"),
                                 QLatin1String(unusable == 1 ? "is" : "are"));
    lblConnection->setText(state);
    lblUnavailable->setVisible(unusable > 0);
    showCodePageChoice();
}

void frmConfigure::showCodePageChoice()
{
    const AccessLocation location = splitAccessPath(m_openedPath);
    const bool jet3 = !m_openedPath.isEmpty() &&
                      engineForPath(m_openedPath) == DatabaseEngine::Access &&
                      isJet3File(location.file);
    setCodePageOffered(jet3);
    if (!jet3)
        return;
    selectCodePage(location.charset);
    showCodePageSample();
}

void frmConfigure::setCodePageOffered(bool offered)
{
    m_offerCodePage = offered;
    for (QWidget* w : {static_cast<QWidget*>(cmbCodePage), static_cast<QWidget*>(lblCodePageSample),
                       Frame1[0]->findChild<QWidget*>(QStringLiteral("lblCodePage"))})
        w->setVisible(offered);
}

// Code pages outside the list are kept as named, so a project never loses its own.
void frmConfigure::selectCodePage(const QByteArray& charset)
{
    if (cmbCodePage->findData(charset) < 0)
        cmbCodePage->addItem(QString::fromLatin1(charset), charset);
    cmbCodePage->setCurrentIndex(cmbCodePage->findData(charset));
}

// A few texts outside plain ASCII, so the operator sees whether the code page reads them right.
void frmConfigure::showCodePageSample()
{
    QStringList samples;
    for (int i = 0; i < lstTables->count() && samples.size() < 4; ++i) {
        const QListWidgetItem* item = lstTables->item(i);
        if (!(item->flags() & Qt::ItemIsEnabled))
            continue;
        auto rows =
            m_connection.select(QStringLiteral("select * from [%1] limit 200").arg(item->text()));
        while (rows.outcome == DatabaseConnection::Outcome::Ok && rows.query.next() &&
               samples.size() < 4) {
            for (int c = 0; c < rows.query.record().count(); ++c) {
                const QVariant value = rows.query.value(c);
                if (value.typeId() != QMetaType::QString)
                    continue;
                const QString text = value.toString().simplified();
                const bool plain = std::all_of(text.begin(), text.end(),
                                               [](QChar ch) { return ch.unicode() < 128; });
                if (!plain && !samples.contains(text) && samples.size() < 4)
                    samples << text.left(40);
            }
        }
    }
    lblCodePageSample->setText(
        samples.isEmpty()
            ? tr("The tables hold no text outside plain ASCII.")
            : tr("Texts of the file read with this code page (choose another if they look "
                 "wrong):\n%1")
                  .arg(samples.join(QStringLiteral(" \u00b7 "))));
}

void frmConfigure::browseDatabase()
{
    cdlg.Filter = QStringLiteral("Database Files|*.mdb;*.accdb;*.sqlite;*.sqlite3;*.db|"
                                 "MsAccess Files|*.mdb|Access 2007 Files|*.accdb|"
                                 "SQLite Files|*.sqlite;*.sqlite3;*.db|All Files|*");
    const ProjectSettings& settings = ProjectSettings::instance();
    const QString current = splitAccessPath(txtDBPath->text().trimmed()).file;
    if (!current.isEmpty() && engineForPath(current) != DatabaseEngine::PostgreSQL &&
        QFileInfo(current).dir().exists())
        cdlg.InitDir = QFileInfo(current).absolutePath();
    else if (!settings.ProjectFile.isEmpty())
        cdlg.InitDir = QFileInfo(settings.ProjectFile).absolutePath();
    cdlg.FileName.clear();
    cdlg.ShowOpen();
    if (cdlg.FileName.isEmpty())
        return;
    txtDBPath->setText(cdlg.FileName);
    setCodePageOffered(false);
    if (!openDatabase(databasePath()))
        return;
    cmdNext->setDefault(true);
    cmdNext->setFocus();
}

bool frmConfigure::testConnection()
{
    if (txtDBPath->text().trimmed().isEmpty()) {
        MsgBox(m_dialogs, this, QStringLiteral("Please Select Databse "));
        return false;
    }
    // A path typed with its code page shows the file in the box and the page in the list.
    const AccessLocation typed = splitAccessPath(txtDBPath->text().trimmed());
    if (!typed.charset.isEmpty()) {
        txtDBPath->setText(typed.file);
        setCodePageOffered(true);
        selectCodePage(typed.charset);
    }
    if (!openDatabase(databasePath()))
        return false;
    cmdNext->setDefault(true);
    return true;
}

bool frmConfigure::checkStep()
{
    switch (CurrentStep) {
    case 0: {
        if (txtDBPath->text().trimmed().isEmpty()) {
            MsgBox(m_dialogs, this, QStringLiteral("Please Select Databse "));
            return false;
        }
        // A path typed or changed since the tables were listed is opened first.
        if (databasePath() != m_openedPath && !openDatabase(databasePath()))
            return false;
        int usable = 0;
        for (int i = 0; i < lstTables->count(); ++i)
            usable += (lstTables->item(i)->flags() & Qt::ItemIsEnabled) ? 1 : 0;
        if (usable == 0) {
            MsgBox(m_dialogs, this, QStringLiteral("No Table Exist!"), MessageButtons::Ok,
                   MessageIcon::Critical);
            return false;
        }
        return true;
    }
    case 1:
        if (lstSelectedTables->count() == 0) {
            MsgBox(m_dialogs, this, QStringLiteral("Please select atleast one table."));
            return false;
        }
        return true;
    case 2:
        if (cmbMasterTable->currentIndex() < 0) {
            MsgBox(m_dialogs, this, QStringLiteral("Please Select Master Table"));
            return false;
        }
        if (cmbChild->count() > 0) {
            MsgBox(m_dialogs, this, QStringLiteral("Please complete relation of child tables."),
                   MessageButtons::Ok, MessageIcon::Exclamation);
            return false;
        }
        return true;
    case 3:
        if (!chkPlaceImages->isChecked())
            return true;
        if (cmbImageField->currentIndex() < 0) {
            MsgBox(m_dialogs, this, QStringLiteral("Please select Image Field"));
            return false;
        }
        if (cmbSignField->currentIndex() < 0) {
            MsgBox(m_dialogs, this, QStringLiteral("Please select Sign Field"));
            return false;
        }
        if (txtImgPath->text().trimmed().isEmpty()) {
            MsgBox(m_dialogs, this, QStringLiteral("Sepcify Image Folder"));
            return false;
        }
        if (txtSignPath->text().trimmed().isEmpty()) {
            MsgBox(m_dialogs, this, QStringLiteral("Specify Signature Folder"));
            return false;
        }
        return true;
    default:
        return true;
    }
}

void frmConfigure::next()
{
    if (!checkStep())
        return;
    cmdBack->setEnabled(true);
    if (CurrentStep != LastStep)
        ++CurrentStep;
    if (CurrentStep == 2) {
        // Tables added or removed since the master table was chosen: the related tables and
        // the relations follow.
        const QStringList selected = itemTexts(lstSelectedTables);
        const QString master = cmbMasterTable->currentText();
        if (cmbMasterTable->currentIndex() >= 0 && !selected.contains(master)) {
            const QStringList keep = selected;
            clearTableChoices();
            lstSelectedTables->addItems(keep);
            updateTotals();
        } else if (cmbMasterTable->currentIndex() >= 0) {
            QStringList related = selected;
            related.removeAll(master);
            if (related != itemTexts(lstRelatedTables)) {
                lstRelatedTables->clear();
                lstRelatedTables->addItems(related);
                for (int i = cmbRelations->count() - 1; i >= 0; --i) {
                    if (!related.contains(cmbRelations->itemData(i).toString()))
                        cmbRelations->removeItem(i);
                }
                QStringList linked;
                for (int i = 0; i < cmbRelations->count(); ++i)
                    linked << cmbRelations->itemData(i).toString();
                cmbChild->clear();
                for (const QString& table : related) {
                    if (!linked.contains(table))
                        cmbChild->addItem(table);
                }
                cmbChild->setCurrentIndex(cmbChild->count() > 0 ? 0 : -1);
                if (cmbChild->count() > 0)
                    chooseChild(0);
                refillMasterTables();
                updateTotals();
            }
        }
    }
    if (CurrentStep == 3) {
        for (QComboBox* combo : {cmbImageField, cmbSignField})
            refillPictureFields(combo);
    }
    if (CurrentStep == LastStep) {
        cmdNext->setEnabled(false);
        cmdFinish->setEnabled(true);
        const QString master = cmbMasterTable->currentText();
        lblDatabase->setText(databasePath());
        lblMasterTable->setText(
            master.isEmpty()
                ? NotSelected
                : tr("%1, unique field %2").arg(master, cmbUniqueField->currentText()));
        showPictureCheck();
    }
    ShowFrame();
    if (CurrentStep == 2)
        cmbMasterTable->setFocus();
    else if (CurrentStep == LastStep)
        cmdFinish->setFocus();
}

void frmConfigure::back()
{
    if (CurrentStep > 0)
        --CurrentStep;
    if (CurrentStep == 0)
        cmdBack->setEnabled(false);
    cmdNext->setEnabled(true);
    ShowFrame();
    cmdFinish->setEnabled(false);
}

void frmConfigure::addTable()
{
    QListWidgetItem* item = lstAllTables->currentItem();
    if (!item || !item->isSelected() || !(item->flags() & Qt::ItemIsEnabled))
        return;
    lstSelectedTables->addItem(item->text());
    delete lstAllTables->takeItem(lstAllTables->row(item));
    updateTotals();
}

void frmConfigure::removeTable()
{
    QListWidgetItem* item = lstSelectedTables->currentItem();
    if (!item || !item->isSelected())
        return;
    fillTableItem(new QListWidgetItem(item->text(), lstAllTables));
    delete lstSelectedTables->takeItem(lstSelectedTables->row(item));
    updateTotals();
}

bool frmConfigure::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        if (watched == lstAllTables) {
            addTable();
            return true;
        }
        if (watched == lstSelectedTables) {
            removeTable();
            return true;
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void frmConfigure::refillMasterTables()
{
    const QString master = cmbMasterTable->currentText();
    const QString relationMaster = cmbMaster->currentText();
    const QStringList selected = itemTexts(lstSelectedTables);
    cmbMasterTable->clear();
    cmbMaster->clear();
    cmbMasterTable->addItems(selected);
    cmbMaster->addItems(selected);
    selectText(cmbMasterTable, master);
    selectText(cmbMaster, relationMaster);
}

void frmConfigure::chooseMasterTable(int index)
{
    const QString master = cmbMasterTable->itemText(index);
    // The columns first: a table that cannot be read is no master table.
    QString why;
    const QStringList columns = columnsOf(mdiArea(), m_connection, master, &why);
    if (columns.isEmpty()) {
        m_dialogs.message(this, {QStringLiteral("The columns of %1 cannot be read.")
                                     .arg(QStringLiteral("\u201c%1\u201d").arg(master)),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 why.isEmpty() ? tr("The table has no columns.") : why});
        cmbMasterTable->setCurrentIndex(-1);
        return;
    }
    // Relations made for another master table do not hold for this one.
    if (master != m_relationsMaster)
        cmbRelations->clear();
    m_relationsMaster = master;
    selectText(cmbMaster, master);
    lstRelatedTables->clear();
    cmbChild->clear();
    QStringList linked;
    for (int i = 0; i < cmbRelations->count(); ++i)
        linked << cmbRelations->itemData(i).toString();
    for (int i = 0; i < cmbMasterTable->count(); ++i) {
        const QString table = cmbMasterTable->itemText(i);
        if (table == master)
            continue;
        lstRelatedTables->addItem(table);
        if (!linked.contains(table))
            cmbChild->addItem(table);
    }
    cmbChild->setCurrentIndex(cmbChild->count() > 0 ? 0 : -1);
    cmbLinkingField->clear();
    if (cmbChild->count() > 0)
        chooseChild(0);
    cmbUniqueField->clear();
    cmbMasterField->clear();
    cmbUniqueField->addItems(columns);
    cmbMasterField->addItems(columns);
    cmbUniqueField->setCurrentIndex(0);
    cmbMasterField->setCurrentIndex(0);
    cmbUniqueField->setFocus();
    updateTotals();
}

void frmConfigure::chooseChild(int index)
{
    cmbLinkingField->clear();
    // What could be read stays; an unreadable table leaves the list short.
    cmbLinkingField->addItems(columnsOf(mdiArea(), m_connection, cmbChild->itemText(index)));
    cmbLinkingField->setCurrentIndex(-1);
}

void frmConfigure::createRelation()
{
    if (cmbLinkingField->currentIndex() < 0) {
        MsgBox(m_dialogs, this, QStringLiteral("Please select linking field.."));
        return;
    }
    if (cmbMaster->currentIndex() < 0 || cmbMasterField->currentIndex() < 0) {
        MsgBox(m_dialogs, this, tr("Please select master field.."));
        return;
    }
    if (cmbChild->currentIndex() < 0) {
        MsgBox(m_dialogs, this, tr("Please select child table.."));
        return;
    }
    const QString child = cmbChild->currentText();
    const QString relation = relationText(cmbMaster->currentText(), cmbMasterField->currentText(),
                                          child, cmbLinkingField->currentText());
    // A join the database refuses would fail for every record: it is tried now, not then.
    if (const Status joined = readAside<Status>(
            mdiArea(), m_connection, tr("Trying the relation %1").arg(relation),
            [&](DatabaseConnection& db) {
                return checkRelation(db, cmbMaster->currentText(), child, relation);
            });
        !joined) {
        QString why = joined.error();
        why[0] = why[0].toUpper();
        m_dialogs.message(this, {tr("The relation between %1 and %2 cannot be made.")
                                     .arg(cmbMaster->currentText(), child),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 why + u'.'});
        return;
    }
    cmbRelations->addItem(relation, child);
    cmbRelations->setCurrentIndex(cmbRelations->count() - 1);
    cmbChild->removeItem(cmbChild->currentIndex());
    cmbLinkingField->clear();
    cmbChild->setCurrentIndex(cmbChild->count() > 0 ? 0 : -1);
    if (cmbChild->count() > 0)
        chooseChild(0);
    updateTotals();
}

void frmConfigure::removeRelation()
{
    const int index = cmbRelations->currentIndex();
    if (index < 0)
        return;
    if (MsgBox(m_dialogs, this, QStringLiteral("Are You Sure To Delete Relation?"),
               MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    const QString child = cmbRelations->itemData(index).toString();
    cmbRelations->removeItem(index);
    // Its table waits for a relation again: without one every record statement would fail.
    if (!child.isEmpty() && itemTexts(lstRelatedTables).contains(child) &&
        cmbChild->findText(child) < 0) {
        cmbChild->addItem(child);
        if (cmbChild->currentIndex() < 0) {
            cmbChild->setCurrentIndex(0);
            chooseChild(0);
        }
    }
    updateTotals();
}

void frmConfigure::refillPictureFields(QComboBox* combo)
{
    const QString chosen = combo->currentIndex() >= 0 ? combo->currentText() : QString();
    combo->clear();
    if (m_connection.isOpen())
        combo->addItems(readAside<QStringList>(
            mdiArea(), m_connection, tr("Reading the columns of the chosen tables"),
            [tables = itemTexts(lstSelectedTables)](DatabaseConnection& db) {
                return ListQualifiedFields(db, tables);
            }));
    else
        combo->addItem(NoneField);
    // A field the database no longer has stays shown, so nothing changes behind the operator.
    if (!chosen.isEmpty() && combo->findText(chosen) < 0)
        combo->addItem(chosen);
    selectText(combo, chosen);
}

void frmConfigure::placeImagesClicked(bool ticked)
{
    frmImages->setEnabled(ticked);
    m_placeImages = ticked ? 1 : 0;
}

// A photo column whose values end in ".jpg" already finds nothing in the browser: the summary
// says what the settings find before Finish.
void frmConfigure::showPictureCheck()
{
    const StoredSettings d = draft();
    QStringList lines;
    if (placesPictures(d) && m_connection.isOpen()) {
        const std::tuple<QString, QString, QString> pictures[] = {
            {tr("Photographs"), d.PhotoField, d.PhotoDir},
            {tr("Signatures"), d.SignField, d.SignDir}};
        for (const auto& [what, field, folder] : pictures) {
            if (field.isEmpty() || field == NoneField)
                continue;
            const Result<PictureCoverage> coverage = readAside<Result<PictureCoverage>>(
                mdiArea(), m_connection,
                tr("Looking for the %1 of the people in %2")
                    .arg(what.toLower(), QDir::toNativeSeparators(folder)),
                [&, field = field, folder = folder](DatabaseConnection& db) {
                    return pictureCoverage(db, d, field, folder);
                });
            lines << (coverage ? describeCoverage(*coverage, what, field)
                               : tr("%1 cannot be looked for: %2").arg(what, coverage.error()));
        }
    }
    lblPictureCheck->setText(lines.join(u'\n'));
    lblPictureCheck->setVisible(!lines.isEmpty());
}

void frmConfigure::updateTotals()
{
    lblTotalSelTables->setText(QString::number(lstSelectedTables->count()));
    lblTotalRelations->setText(QString::number(cmbRelations->count()));
}

void frmConfigure::ShowConfig()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    // The wizard keeps the Access file's code page after its name, as its own connection takes it.
    const AccessLocation location = splitAccessPath(settings.DatabasePath);
    const QString storedPath =
        accessPathWithCharset(location.file, location.charset.isEmpty()
                                                 ? settings.AccessCodePage.toLatin1()
                                                 : location.charset);
    txtDBPath->setText(location.file);
    // The project's own choices come first; the table lists leave out what is selected.
    lstSelectedTables->clear();
    cmbMasterTable->clear();
    cmbMaster->clear();
    lstRelatedTables->clear();
    for (const QString& table : QStringList{settings.MasterTable} + settings.DataTables) {
        if (table != settings.MasterTable)
            lstRelatedTables->addItem(table);
        lstSelectedTables->addItem(table);
        cmbMaster->addItem(table);
        cmbMasterTable->addItem(table);
    }
    if (!m_connection.isOpen() || m_openedPath != storedPath) {
        if (m_connection.OpenProjectDatabase(storedPath)) {
            m_openedPath = storedPath;
            listTables();
        } else {
            lblConnection->setText(tr("Not connected: %1").arg(m_connection.errorText()));
            // Said once the wizard is on the screen, so the message stands over it.
            m_notConnected = m_connection.errorText();
            if (isVisible())
                sayNotConnected();
        }
    }
    cmdNext->setDefault(true);

    selectText(cmbMasterTable, settings.MasterTable);
    selectText(cmbMaster, settings.MasterTable);
    m_relationsMaster = settings.MasterTable;
    cmbChild->clear();
    cmbLinkingField->clear();
    cmbRelations->clear();
    for (qsizetype i = 0; i < settings.Relations.size(); ++i)
        cmbRelations->addItem(settings.Relations[i], settings.DataTables.value(i));
    // The unique field among the master table's columns, so another can be chosen.
    const QStringList columns = columnsOf(mdiArea(), m_connection, settings.MasterTable);
    cmbUniqueField->clear();
    cmbUniqueField->addItems(columns);
    if (cmbUniqueField->findText(settings.UniqueField) < 0)
        cmbUniqueField->addItem(settings.UniqueField);
    selectText(cmbUniqueField, settings.UniqueField);
    cmbMasterField->clear();
    cmbMasterField->addItems(columns);
    cmbMasterField->setCurrentIndex(cmbMasterField->count() > 0 ? 0 : -1);

    const std::pair<QComboBox*, QString> fields[] = {{cmbImageField, settings.PhotoField},
                                                     {cmbSignField, settings.SignField}};
    for (const auto& [combo, field] : fields) {
        combo->clear();
        if (!field.isEmpty()) {
            combo->addItem(field);
            combo->setCurrentIndex(0);
        }
    }
    lblImageField->setText(shownOrNotSelected(settings.PhotoField));
    lblSignField->setText(shownOrNotSelected(settings.SignField));
    // Only 1 places pictures, wherever the value is read.
    chkPlaceImages->setChecked(placesPictures(settings));
    frmImages->setEnabled(placesPictures(settings));
    updateTotals();
}

StoredSettings frmConfigure::draft() const
{
    StoredSettings d = ProjectSettings::instance().stored();
    // The Access file's code page is kept in the project's companion file, not in the path.
    const AccessLocation location = splitAccessPath(databasePath());
    d.DatabasePath = location.file;
    d.AccessCodePage = QString::fromLatin1(location.charset);
    d.CodePage = cmbTextCodePage->codePage();
    d.MasterTable = cmbMasterTable->currentText();
    d.UniqueField = cmbUniqueField->currentText();
    d.Relations = itemTexts(cmbRelations);
    d.DataTables = itemTexts(lstRelatedTables);
    d.PhotoField = cmbImageField->currentText();
    d.PhotoDir = withTrailingSlash(txtImgPath->text().trimmed());
    d.SignField = cmbSignField->currentText();
    d.SignDir = withTrailingSlash(txtSignPath->text().trimmed());
    d.PlaceImages = m_placeImages;
    if (d.PhotoField == NoneField && d.SignField == NoneField)
        d.PlaceImages = 0;
    return d;
}

bool frmConfigure::finish()
{
    ProjectSettings& settings = ProjectSettings::instance();
    StoredSettings settled = draft();
    // The database may have changed since the lists were read (a column renamed, a table
    // dropped): a project that no longer fits it is not written.
    if (const Status fits = checkDatabaseWhileWaiting(mdiArea(), settled); !fits) {
        m_dialogs.message(this, {fits.error(),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 QStringLiteral("The project was not saved. Correct the choices "
                                                "that name it and press Finish again.")});
        return false;
    }
    QString file = settings.ProjectFile;
    if (file.isEmpty()) {
        SetProjectState(ProjectState::Configuring);
        m_mainFileDialog.Filter = QStringLiteral("Project File|*.prj");
        m_mainFileDialog.InitDir = settings.ProjectDir;
        m_mainFileDialog.FileName.clear();
        m_mainFileDialog.ShowSave();
        if (m_mainFileDialog.FileName.isEmpty()) {
            SetProjectState(ProjectState::None);
            return false;
        }
        // "Staff.2024" is a name with a dot, not a file of another kind.
        file = withSuffix(m_mainFileDialog.FileName, QStringLiteral(".Prj"));
        settled.ProjectName = fileTitle(file).chopped(4);
    }
    if (!saveProjectFile(
            m_dialogs, this, settled, file,
            [&settings, &file](const StoredSettings& saved) { settings.replace(saved, file); }))
        return false;
    settings.DatabaseConfigured = true;
    KeepNewProject();
    Q_EMIT configured();
    close();
    return true;
}

void frmConfigure::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (!m_notConnected.isEmpty())
        QMetaObject::invokeMethod(this, &frmConfigure::sayNotConnected, Qt::QueuedConnection);
}

void frmConfigure::sayNotConnected()
{
    const QString why = std::exchange(m_notConnected, QString());
    if (!why.isEmpty())
        m_dialogs.message(
            this,
            {QStringLiteral("Not Connected"), MessageButtons::Ok, MessageIcon::None, {}, why});
}

// A database that could not be opened left the column lists short; once it opens they are read
// again, keeping what was chosen.
void frmConfigure::refreshColumnLists()
{
    const QString master = cmbMasterTable->currentText();
    if (master.isEmpty())
        return;
    const QStringList columns = columnsOf(mdiArea(), m_connection, master);
    if (columns.isEmpty())
        return;
    for (QComboBox* combo : {cmbUniqueField, cmbMasterField}) {
        const QString chosen = combo->currentText();
        combo->clear();
        combo->addItems(columns);
        if (!chosen.isEmpty() && combo->findText(chosen) < 0)
            combo->addItem(chosen);
        combo->setCurrentIndex(chosen.isEmpty() ? 0 : combo->findText(chosen));
    }
    if (cmbChild->currentIndex() >= 0) {
        const QString linking = cmbLinkingField->currentText();
        chooseChild(cmbChild->currentIndex());
        selectText(cmbLinkingField, linking);
    }
}

void frmConfigure::closeEvent(QCloseEvent* event)
{
    // A new project whose configuration was not finished is no project.
    if (ProjectSettings::instance().ProjectState == ProjectState::Configuring) {
        SetProjectState(ProjectState::None);
        AbandonNewProject();
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace vm
