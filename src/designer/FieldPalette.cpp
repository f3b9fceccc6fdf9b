#include "designer/FieldPalette.h"

#include "project/Database.h"

#include <QMimeData>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace vm {
namespace {

// Lists up to the first table that cannot be read.
QString fillList(QListWidget* list, DatabaseConnection& connection, const QStringList& tables)
{
    list->clear();
    for (const QString& table : tables) {
        QString error;
        const QStringList columns = ListFieldNames(connection, table, &error);
        if (!error.isEmpty())
            return QStringLiteral("The columns of the table %1 could not be read: %2")
                .arg(table, error);
        for (const QString& column : columns)
            list->addItem(fieldReference(table, column));
    }
    return {};
}

} // namespace

QString fieldReference(const QString& table, const QString& column)
{
    return QLatin1Char('<') + table + QLatin1Char('.') + column + QLatin1Char('>');
}

FieldList::FieldList(QWidget* parent)
    : QListWidget(parent)
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QStringList FieldList::mimeTypes() const
{
    return {QStringLiteral("text/plain")};
}

QMimeData* FieldList::mimeData(const QList<QListWidgetItem*>& items) const
{
    if (items.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setText(items.first()->text());
    return data;
}

FieldPalette::FieldPalette(QWidget* parent)
    : QWidget(parent)
{
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabFields"));
    m_tabs->addTab(QStringLiteral("Master"));
    m_tabs->addTab(QStringLiteral("Child"));
    m_tabs->setAccessibleName(QStringLiteral("Field tables"));
    m_tabs->setExpanding(false);

    m_master = new FieldList(this);
    m_master->setObjectName(QStringLiteral("lstMasterFields"));
    m_master->setAccessibleName(QStringLiteral("Master table fields"));
    m_master->setToolTip(QStringLiteral("Drag a field onto the badge, or double-click it"));
    m_child = new FieldList(this);
    m_child->setObjectName(QStringLiteral("lstChildFields"));
    m_child->setAccessibleName(QStringLiteral("Child table fields"));
    m_child->setToolTip(m_master->toolTip());

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_master);
    m_stack->addWidget(m_child);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    layout->addWidget(m_stack, 1);

    for (FieldList* list : {m_master, m_child}) {
        connect(list, &QListWidget::itemActivated, this,
                [this](QListWidgetItem* item) { Q_EMIT fieldChosen(item->text()); });
    }
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int tab) {
        QListWidget* list = tab == 0 ? static_cast<QListWidget*>(m_master) : m_child;
        m_stack->setCurrentWidget(list);
        list->setFocus();
    });
}

QString FieldPalette::Fill_MasterFields(DatabaseConnection& connection, const QString& masterTable)
{
    return fillList(m_master, connection, {masterTable});
}

QString FieldPalette::Fill_ChildFields(DatabaseConnection& connection,
                                       const QStringList& childTables)
{
    return fillList(m_child, connection, childTables);
}

} // namespace vm
