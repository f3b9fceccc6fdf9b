#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace vm {

// The fields of a project that the project file stores, in file order. A plain value, so a
// project can be read completely before it replaces the open one.
struct StoredSettings {
    QString ProjectName;
    QString DatabasePath;
    QStringList DataTables; // child tables; entry i is brought in by Relations[i]
    QString MasterTable;
    QString UniqueField;
    QStringList Relations;  // SQL conditions joining the master table with one child table each
    qint16 PlaceImages = 0; // 1: photograph and signature are placed on badges
    QString PhotoField;     // "Table.Column" or "<None>"
    QString SignField;
    QString PhotoDir; // folders end with "/"
    QString SignDir;
    QString ProjectDir;
    QString BadgeDir;
    QString LogoDir;
    QStringList Badges; // badge names, without folder and extension

    friend bool operator==(const StoredSettings&, const StoredSettings&) = default;
};

inline const QString NoneField = QStringLiteral("<None>");

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
