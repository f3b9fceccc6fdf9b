#pragma once

#include "widgets/Dialogs.h"

#include <QString>

class QPrinter;
class QWidget;

namespace vm {

// The file, colour and printer dialog of a window, with the properties callers set before
// showing it and read back after. A cancelled file dialog leaves FileName and FileTitle empty.
class CommonDialog {
public:
    CommonDialog(Dialogs& dialogs, QWidget* owner)
        : m_dialogs(dialogs)
        , m_owner(owner)
    {
    }

    QString Filter;      // "Description|pattern|Description|pattern", as "Badge file (*.Lyt)|*.Lyt"
    QString InitDir;     // folder the dialog starts in
    QString FileName;    // initial name; after Show: the chosen full path, or empty
    QString FileTitle;   // after Show: the chosen file's name without its folder
    QString DialogTitle; // window caption; empty: the dialog's own
    quint32 Color = 0;   // 0x00BBGGRR, as the badge colours are kept

    void ShowOpen();
    void ShowSave();
    bool ShowColor();                    // false when cancelled; Color is then unchanged
    bool ShowPrinter(QPrinter* printer); // false when cancelled

private:
    void finish(const QString& chosen);

    Dialogs& m_dialogs;
    QWidget* m_owner;
};

// "Project File| *.Prj|All|*.*" -> "Project File (*.Prj);;All (*.*)".
QString qtFileFilter(const QString& commonDialogFilter);

} // namespace vm
