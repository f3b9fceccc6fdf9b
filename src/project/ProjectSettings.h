#pragma once

#include "project/StoredSettings.h"

#include <QObject>
#include <QString>

namespace vm {

// The open project: the stored fields plus the values that live only while the program runs.
// There is one instance for the whole program; windows read it directly.
class ProjectSettings : public QObject, public StoredSettings {
    Q_OBJECT
public:
    static ProjectSettings& instance();

    QString ProjectFile;
    qint16 ProjectState = 0; // 0 none, 1 being created or configured, 2 file written, 3 as 1
    bool DatabaseConfigured = false;
    QString CurrentBadgePath;
    qint16 BadgeOrientation = 0; // 1 landscape, 2 portrait

    StoredSettings& stored() { return *this; }
    const StoredSettings& stored() const { return *this; }

    // Back to the values of a freshly started program (tests build a fresh main window on it).
    void reset();

Q_SIGNALS:
    // Raised by SetProjectState for 0 (menus off), 1 and 3 (menus on); other states leave the
    // menus as they are and raise nothing.
    void projectMenusEnabledChanged(bool enabled);

private:
    ProjectSettings() = default;
};

// Stores the state and switches the project menus: 0 disables them, 1 and 3 enable them, any
// other value leaves them as they are.
void SetProjectState(qint16 state);

} // namespace vm
