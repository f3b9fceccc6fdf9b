#include "project/frmDirChooser.h"

#include "common/FileNames.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace vm {
namespace {

// The places a folder is looked for: the root, the home folder and removable media.
QStringList drives()
{
    QStringList places{QDir::rootPath(), QDir::homePath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() &&
            (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
             root.startsWith(QLatin1String("/run/media/"))))
            places << root;
    }
    places.removeDuplicates();
    return places;
}

} // namespace

frmDirChooser::frmDirChooser(QWidget* parent)
    : QMdiSubWindow(parent)
{
    setObjectName(QStringLiteral("frmDirChooser"));
    setWindowTitle(QStringLiteral("Choose Direcory"));
    auto* body = new QWidget(this);

    Drive1 = new QComboBox(body);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setAccessibleName(tr("Drive"));
    Drive1->addItems(drives());

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setRootPath(QDir::rootPath());
    Dir1 = new QTreeView(body);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setAccessibleName(tr("Folders"));
    Dir1->setModel(m_folders);
    Dir1->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        Dir1->hideColumn(column);

    txtPath = new QLineEdit(body);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    auto* pathLabel = new QLabel(QStringLiteral("Path"), body);
    pathLabel->setBuddy(txtPath);

    cmdOk = new QPushButton(QStringLiteral("&Ok"), body);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("&Cancel"), body);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(txtPath, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(Drive1);
    layout->addWidget(Dir1, 1);
    layout->addLayout(pathRow);
    layout->addLayout(buttons);
    setWidget(body);
    resize(420, 460);

    connect(Drive1, &QComboBox::activated, this, &frmDirChooser::onDriveChanged);
    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    txtPath->setText(withTrailingSlash(m_folders->filePath(current)));
                if (m_folders->filePath(current) != m_followed)
                    m_followed.clear();
            });
    // The tree reads folders in the background and sorts what it read in above the folder
    // shown, pushing it out of view; it is brought back until the operator moves elsewhere.
    auto follow = [this] {
        if (!m_followed.isEmpty())
            Dir1->scrollTo(m_folders->index(m_followed));
    };
    connect(m_folders, &QAbstractItemModel::rowsInserted, this, follow);
    connect(m_folders, &QAbstractItemModel::layoutChanged, this, follow);
    connect(Dir1->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { m_followed.clear(); });
    // A folder typed in is found in the tree; the text stays as typed.
    connect(txtPath, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!text.isEmpty() && QFileInfo(text).isDir()) {
            const QSignalBlocker quiet(Dir1->selectionModel());
            const QModelIndex index = m_folders->index(text);
            Dir1->setCurrentIndex(index);
            Dir1->scrollTo(index);
            m_followed = m_folders->filePath(index);
        }
    });
    connect(txtPath, &QLineEdit::returnPressed, this, &frmDirChooser::onOk);
    connect(cmdOk, &QPushButton::clicked, this, &frmDirChooser::onOk);
    connect(Command2, &QPushButton::clicked, this, &frmDirChooser::onCancel);

    showFolder(QDir::homePath());
}

void frmDirChooser::showFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(folder);
    if (!QFileInfo(path).isDir())
        return;
    // The deepest place of the drive list that holds the folder.
    int drive = 0;
    for (int i = 0; i < Drive1->count(); ++i) {
        const QString place = withTrailingSlash(Drive1->itemText(i));
        if (withTrailingSlash(path).startsWith(place) &&
            place.size() > withTrailingSlash(Drive1->itemText(drive)).size())
            drive = i;
    }
    Drive1->setCurrentIndex(drive);
    Dir1->setRootIndex(m_folders->index(Drive1->itemText(drive)));
    const QModelIndex index = m_folders->index(path);
    Dir1->setCurrentIndex(index);
    Dir1->scrollTo(index);
    m_followed = m_folders->filePath(index);
    txtPath->setText(withTrailingSlash(path));
}

void frmDirChooser::onDriveChanged(int index)
{
    const QString drive = Drive1->itemText(index);
    Dir1->setRootIndex(m_folders->index(drive));
    Dir1->setCurrentIndex(m_folders->index(drive));
    txtPath->setText(withTrailingSlash(drive));
}

void frmDirChooser::onOk()
{
    const QString folder = txtPath->text().trimmed();
    if (TargetBox && !folder.isEmpty())
        TargetBox->setText(withTrailingSlash(folder));
    close();
}

void frmDirChooser::onCancel()
{
    txtPath->clear();
    close();
}

} // namespace vm
