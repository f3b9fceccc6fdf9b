#pragma once

#include "project/StoredSettings.h"

#include <QObject>
#include <QString>

namespace vm {

// Where the open project stands; the numbers are those the system has always used.
enum class ProjectState : qint16 {
    None = 0,        // no project: the project menus are off
    Configuring = 1, // being created or configured: menus on
    Written = 2,     // the project file has been written: menus left as they are
    Open = 3,        // menus on, as for Configuring; nothing sets it today
};

// The open project: the stored fields plus the values that live only while the program runs.
// There is one instance for the whole program; windows read it directly.
class ProjectSettings : public QObject, public StoredSettings {
    Q_OBJECT
public:
    static ProjectSettings& instance();

    QString ProjectFile;
    vm::ProjectState ProjectState = vm::ProjectState::None;
    bool DatabaseConfigured = false;
    QString CurrentBadgePath;
    qint16 BadgeOrientation = 0; // 1 landscape, 2 portrait

    StoredSettings& stored() { return *this; }
    const StoredSettings& stored() const { return *this; }

    // Back to the values of a freshly started program (tests build a fresh main window on it).
    void reset();

    // Makes `settings`, read from or written to `file`, the open project in one step.
    void replace(const StoredSettings& settings, const QString& file);

Q_SIGNALS:
    // Another project's settings took the place of the open one's (opened, or configured anew).
    void projectReplaced();
    // Raised by SetProjectState for None (menus off), Configuring and Open (menus on); Written
    // leaves the menus as they are and raises nothing.
    void projectMenusEnabledChanged(bool enabled);

private:
    ProjectSettings() = default;
};

// A relation as the wizard writes it, "Master.[Field]=Child.[Field]" (a table name that cannot
// stand bare in brackets too, "[O'Brien].[ID]"): a condition every engine
// accepts inside a WHERE clause once its brackets are translated, and that never needs a double
// quote in the project file.
QString relationText(const QString& master, const QString& masterField, const QString& child,
                     const QString& linkingField);

// Badge and scratch files, and Access files, are read from now on in the code pages of
// `settings`; replace() and reset() call it.
void useCodePagesOf(const StoredSettings& settings);

// Stores the state and switches the project menus: None disables them, Configuring and Open
// enable them, Written leaves them as they are.
void SetProjectState(ProjectState state);

} // namespace vm
