#pragma once

#include <QListWidget>
#include <QWidget>

class QStackedWidget;
class QTabBar;

namespace vm {

class DatabaseConnection;

// A list of field references that are dragged out as plain text.
class FieldList : public QListWidget {
    Q_OBJECT
public:
    explicit FieldList(QWidget* parent = nullptr);

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
};

// The field palette: the tabs "Master" and "Child" over the lists of the master table's and
// the child tables' columns as "<Table.Column>", ready to be dragged onto the canvas.
class FieldPalette : public QWidget {
    Q_OBJECT
public:
    explicit FieldPalette(QWidget* parent = nullptr);

    QTabBar* tabFields() const { return m_tabs; }
    FieldList* lstMasterFields() const { return m_master; }
    FieldList* lstChildFields() const { return m_child; }

    // Fill the lists from the database; a table whose columns cannot be read ends the list there.
    // Each returns what went wrong, naming the table; empty when all went well.
    QString Fill_MasterFields(DatabaseConnection& connection, const QString& masterTable);
    QString Fill_ChildFields(DatabaseConnection& connection, const QStringList& childTables);

Q_SIGNALS:
    // A reference was chosen with a double click or Enter, for those who do not drag.
    void fieldChosen(const QString& reference);

private:
    QTabBar* m_tabs;
    QStackedWidget* m_stack;
    FieldList* m_master;
    FieldList* m_child;
};

// "<Table.Column>".
QString fieldReference(const QString& table, const QString& column);

} // namespace vm
