#pragma once

#include "project/Database.h"

#include <QMdiSubWindow>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class QTableView;

namespace vm {

class Dialogs;
class MasterTableModel;

// "Edit Table": the project's master table in an editable grid. Add Record starts a new row,
// Save Changes writes what was typed, Delete Record removes the current row after asking. A row
// the database refuses keeps what was typed and the engine's reason is shown. An Access
// database is shown read-only.
class FrmAddRec : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit FrmAddRec(Dialogs& dialogs, QWidget* parent = nullptr);
    ~FrmAddRec() override;

    MasterTableModel* tableModel() const { return m_model.get(); }
    bool isReadOnly() const;

    QLabel* lblMasterTbl = nullptr;
    QTableView* dtGrid1 = nullptr;
    QFrame* Frame1 = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdSave = nullptr;

Q_SIGNALS:
    // Rows were written or deleted: lists read before are out of date.
    void tableChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Pending edits are saved, dropped or kept open as the operator answers.
    void closeEvent(QCloseEvent* event) override;

private:
    void open();
    void addRecord();
    void saveChanges();
    void deleteRecord();
    void commitOpenEditor();
    void reportFailure(const QString& text);
    bool write();
    void writeOnRowChange();
    bool reconnected(bool* done, const std::function<bool()>& again);
    QString lostConnection() const;

    Dialogs& m_dialogs;
    DatabaseConnection m_db;
    std::unique_ptr<MasterTableModel> m_model;
    QLabel* m_notice = nullptr;
    bool m_writing = false;
};

} // namespace vm
