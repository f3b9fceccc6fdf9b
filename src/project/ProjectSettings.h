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
// There is one instance for the whole program; windows read it directly. The badge list and the
// badge shown change only through setters, which signal, so every window listing them follows.
class ProjectSettings : public QObject, public StoredSettings {
    Q_OBJECT
public:
    static ProjectSettings& instance();

    QString ProjectFile;
    vm::ProjectState ProjectState = vm::ProjectState::None;
    bool DatabaseConfigured = false;

    const QStringList& badges() const { return stored().Badges; }
    // Puts a badge on the list unless it is there in any letter case; the spelling listed.
    QString addBadge(const QString& name);
    void setBadges(const QStringList& names);
    // The list as the project file held it when it was last read or written here: a save merges
    // against it, so a badge another station listed since is kept and one removed here stays out.
    const QStringList& badgesOnDisk() const { return m_badgesOnDisk; }
    void setBadgesOnDisk(const QStringList& names) { m_badgesOnDisk = names; }

    const QString& currentBadgePath() const { return m_currentBadgePath; }
    void setCurrentBadgePath(const QString& path);
    qint16 badgeOrientation() const { return m_badgeOrientation; } // 1 landscape, 2 portrait
    void setBadgeOrientation(qint16 orientation);

    // For whole values (read, compared, written); the badge list through the setters above.
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
    void badgesChanged();
    void currentBadgeChanged(const QString& path);
    void badgeOrientationChanged(qint16 orientation);

private:
    ProjectSettings() = default;
    using StoredSettings::Badges; // through badges() and the setters only

    QStringList m_badgesOnDisk;
    QString m_currentBadgePath;
    qint16 m_badgeOrientation = 0;
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
