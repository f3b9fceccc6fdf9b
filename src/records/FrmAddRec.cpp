#include "records/FrmAddRec.h"

#include "common/DatabaseAddress.h"
#include "project/ProjectSettings.h"
#include "records/MasterTableModel.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenUnits.h"

#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace vm {
namespace {

// Every cell is edited as the text it shows: dates stay yyyy-MM-dd whatever the locale, numbers
// are not squeezed into a spin box, and an emptied cell becomes a null.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override
    {
        switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().toString(Qt::ISODate);
        case QMetaType::QDateTime:
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case QMetaType::Double:
            return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        case QMetaType::QByteArray:
            return QStringLiteral("(%1 bytes of binary data)").arg(value.toByteArray().size());
        default:
            return QStyledItemDelegate::displayText(value, locale);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant value = index.data(Qt::EditRole);
        static_cast<QLineEdit*>(editor)->setText(value.isNull() ? QString()
                                                                : displayText(value, {}));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override
    {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        const QVariant value = index.data(Qt::EditRole);
        if (text == (value.isNull() ? QString() : displayText(value, {})))
            return; // left as it was: the row does not become a change to save
        model->setData(index, text, Qt::EditRole);
    }
};

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

} // namespace

FrmAddRec::FrmAddRec(Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FrmAddRec"));
    setWindowTitle(QStringLiteral("Edit Table"));

    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(screenPixels(this, 60));

    lblMasterTbl = new QLabel(QStringLiteral("Table"), body);
    lblMasterTbl->setObjectName(QStringLiteral("lblMasterTbl"));
    lblMasterTbl->setMinimumHeight(screenPixels(this, 300));
    lblMasterTbl->setIndent(screenPixels(this, 120));
    lblMasterTbl->setAutoFillBackground(true);
    lblMasterTbl->setBackgroundRole(QPalette::Mid);
    lblMasterTbl->setForegroundRole(QPalette::Light);
    QFont caption = lblMasterTbl->font();
    caption.setBold(true);
    lblMasterTbl->setFont(caption);

    m_notice = new QLabel(body);
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    m_notice->setWordWrap(true);
    m_notice->setIndent(screenPixels(this, 120));
    m_notice->hide();

    dtGrid1 = new QTableView(body);
    dtGrid1->setObjectName(QStringLiteral("dtGrid1"));
    dtGrid1->setItemDelegate(new CellDelegate(dtGrid1));
    dtGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    dtGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    dtGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    dtGrid1->verticalHeader()->setDefaultSectionSize(dtGrid1->fontMetrics().height() + 6);
    lblMasterTbl->setBuddy(dtGrid1);

    Frame1 = new QFrame(body);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFixedHeight(screenPixels(this, 975));
    Line1 = new QFrame(Frame1);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Frame1->installEventFilter(this); // the rule spans the bar whatever its width
    auto button = [this](const QString& name, const QString& caption, double left) {
        auto* b = new QPushButton(caption, Frame1);
        b->setObjectName(name);
        b->setGeometry(screenPixels(this, left), screenPixels(this, 120), screenPixels(this, 1935),
                       screenPixels(this, 375));
        return b;
    };
    cmdAdd = button(QStringLiteral("cmdAdd"), QStringLiteral("Add Record"), 120);
    cmdDelete = button(QStringLiteral("cmdDelete"), QStringLiteral("Delete Record"), 2160);
    cmdSave = button(QStringLiteral("cmdSave"), QStringLiteral("Save Changes"), 4320);

    column->addWidget(lblMasterTbl);
    column->addWidget(m_notice);
    column->addWidget(dtGrid1, 1);
    column->addWidget(Frame1);
    setWidget(body);
    resize(screenSize(this, {9225, 7155}));

    connect(cmdAdd, &QPushButton::clicked, this, &FrmAddRec::addRecord);
    connect(cmdSave, &QPushButton::clicked, this, &FrmAddRec::saveChanges);
    connect(cmdDelete, &QPushButton::clicked, this, &FrmAddRec::deleteRecord);
    open();
}

FrmAddRec::~FrmAddRec()
{
    // The grid lets go of the model before the connection under it closes.
    dtGrid1->setModel(nullptr);
    m_model.reset();
}

bool FrmAddRec::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Frame1 && event->type() == QEvent::Resize)
        Line1->setGeometry(0, 0, Frame1->width(), 2);
    return QMdiSubWindow::eventFilter(watched, event);
}

bool FrmAddRec::isReadOnly() const
{
    return m_db.isReadOnly();
}

void FrmAddRec::open()
{
    const ProjectSettings& project = ProjectSettings::instance();
    const QString caption = QStringLiteral("Table:") + project.MasterTable;
    lblMasterTbl->setText(caption);
    dtGrid1->setAccessibleName(caption);

    auto stop = [this](const QString& why) {
        for (QPushButton* b : {cmdAdd, cmdDelete, cmdSave})
            b->setEnabled(false);
        m_notice->setText(why);
        m_notice->show();
        reportFailure(why);
    };
    if (!m_db.OpenProjectDatabase(project.DatabasePath))
        return stop(m_db.errorText());
    m_model = std::make_unique<MasterTableModel>(m_db, project.MasterTable, project.UniqueField);
    if (!m_model->open())
        return stop(m_model->problem());
    dtGrid1->setModel(m_model.get());
    // Leaving a row writes it, as the data grid always did. Queued: a save re-reads the table,
    // which must not happen inside the grid's own move.
    connect(dtGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex&, const QModelIndex& left) {
                if (left.isValid() && !m_writing && m_model->isDirty())
                    QMetaObject::invokeMethod(this, &FrmAddRec::writeOnRowChange,
                                              Qt::QueuedConnection);
            });
    dtGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    dtGrid1->resizeColumnsToContents();

    if (m_db.isReadOnly()) {
        for (QPushButton* b : {cmdAdd, cmdDelete, cmdSave})
            b->setEnabled(false);
        dtGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_notice->setText(QStringLiteral("The Access database %1 is opened read-only: its "
                                         "records can be looked at here but not changed.")
                              .arg(quoted(WithoutPassword(project.DatabasePath))));
        m_notice->show();
    }
}

void FrmAddRec::reportFailure(const QString& text)
{
    m_dialogs.message(this, {text, MessageButtons::Ok, MessageIcon::Exclamation, {}, {}});
}

void FrmAddRec::addRecord()
{
    if (!m_model || isReadOnly())
        return;
    const int row = m_model->rowCount();
    if (!m_model->insertRow(row))
        return;
    const QModelIndex first = m_model->index(row, 0);
    dtGrid1->setCurrentIndex(first);
    dtGrid1->scrollTo(first);
    dtGrid1->setFocus();
    dtGrid1->edit(first);
}

void FrmAddRec::saveChanges()
{
    if (!m_model || isReadOnly())
        return;
    commitOpenEditor();
    write();
}

void FrmAddRec::writeOnRowChange()
{
    if (m_model && !isReadOnly() && m_model->isDirty())
        write();
}

// Saves every pending change and puts the grid back on the record it was on, found by its key:
// the table is read again and its rows may stand in another order.
bool FrmAddRec::write()
{
    if (m_writing)
        return false;
    m_writing = true;
    const QModelIndex current = dtGrid1->currentIndex();
    const QSqlRecord on = current.isValid() ? m_model->chosen(current.row()) : QSqlRecord();
    const bool dirty = m_model->isDirty();
    bool saved = m_model->save();
    const bool reachable = saved || reconnected(&saved, [this] { return m_model->save(); });
    if (saved && !on.isEmpty()) {
        const int row = m_model->rowOf(on);
        if (row >= 0) {
            const QModelIndex index = m_model->index(row, std::max(0, current.column()));
            dtGrid1->setCurrentIndex(index);
            dtGrid1->scrollTo(index);
        }
    }
    m_writing = false;
    if (!saved)
        reportFailure(reachable ? m_model->problem() : lostConnection());
    else if (!m_model->notice().isEmpty())
        m_dialogs.message(
            this, {m_model->notice(), MessageButtons::Ok, MessageIcon::Information, {}, {}});
    if (saved && dirty && m_model->notice().isEmpty())
        Q_EMIT tableChanged();
    return saved;
}

// A server that went away under the grid (a restart, a session ended) is connected to again in
// place and the same work done once more: what was typed is still in the grid. False only when
// the connection is gone and cannot be made again now.
bool FrmAddRec::reconnected(bool* done, const std::function<bool()>& again)
{
    if (!m_db.connectionBroken())
        return true;
    if (!m_db.reconnect())
        return false;
    const bool writing = std::exchange(m_writing, true);
    *done = again();
    m_writing = writing;
    return true;
}

QString FrmAddRec::lostConnection() const
{
    return QStringLiteral("The connection to the database was lost and cannot be made again "
                          "now, so nothing more was saved to the table %1 (%2). What you typed "
                          "is kept here; Save Changes tries again.")
        .arg(quoted(m_model->tableTitle()), m_db.errorText());
}

void FrmAddRec::closeEvent(QCloseEvent* event)
{
    if (m_model && !isReadOnly()) {
        commitOpenEditor();
        if (m_model->isDirty()) {
            const MessageAnswer answer = MsgBox(
                m_dialogs, this,
                QStringLiteral("The table %1 has changes that are not saved. Save them before "
                               "closing?")
                    .arg(quoted(m_model->tableTitle())),
                MessageButtons::YesNoCancel, MessageIcon::Question, QStringLiteral("Edit Table"));
            if (answer == MessageAnswer::Cancel || (answer == MessageAnswer::Yes && !write())) {
                event->ignore();
                return;
            }
            if (answer == MessageAnswer::No)
                m_model->revertAll();
        }
    }
    QMdiSubWindow::closeEvent(event);
}

void FrmAddRec::commitOpenEditor()
{
    // A cell still being edited counts as typed, also when the button took no focus from it.
    for (QLineEdit* editor : dtGrid1->viewport()->findChildren<QLineEdit*>()) {
        if (!editor->isVisible())
            continue;
        QMetaObject::invokeMethod(dtGrid1, "commitData", Qt::DirectConnection,
                                  Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(
            dtGrid1, "closeEditor", Qt::DirectConnection, Q_ARG(QWidget*, editor),
            Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
}

void FrmAddRec::deleteRecord()
{
    if (!m_model || isReadOnly())
        return;
    commitOpenEditor();
    const int row = dtGrid1->currentIndex().row();
    if (row < 0)
        return;
    // The record as the operator chose it: saving other rows first may move it to another row.
    const QSqlRecord chosen = m_model->chosen(row);
    if (MsgBox(m_dialogs, this, QStringLiteral("Are you sure to delete selected record?"),
               MessageButtons::YesNo, MessageIcon::None,
               QStringLiteral("Delete")) != MessageAnswer::Yes)
        return;
    if (const int at = m_model->rowOf(chosen); at >= 0 && m_model->isNew(at)) {
        m_model->revertRow(at); // never written: it only leaves the grid
        return;
    }
    m_writing = true;
    bool deleted = m_model->deleteRecord(chosen);
    m_writing = false;
    if (!deleted && !reconnected(&deleted, [&] { return m_model->deleteRecord(chosen); })) {
        reportFailure(lostConnection());
        return;
    }
    if (!deleted) {
        reportFailure(m_model->problem());
        return;
    }
    if (m_model->rowCount() > 0) {
        const QModelIndex index = m_model->index(std::min(row, m_model->rowCount() - 1),
                                                 std::max(0, dtGrid1->currentIndex().column()));
        dtGrid1->setCurrentIndex(index);
    }
    Q_EMIT tableChanged();
}

} // namespace vm
