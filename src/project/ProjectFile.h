#pragma once

#include "common/Status.h"
#include "project/StoredSettings.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

namespace vm {

// The project file: one quoted line per item, keys in a fixed order, CR LF line ends.

// The line texts (without quotes) in file order.
QStringList projectFileLines(const StoredSettings& settings);

// A value holding a double quote cannot be stored (the format has no escape). Returns the key of
// the first such value ("ProjectName:", "Table:2:", ...) or an empty text when all can be stored.
QString unstorableProjectValue(const StoredSettings& settings);

// What the legacy file cannot hold (the code pages) goes into the companion file
// "NAME.Prj.json" beside it, a versioned JSON document; a project that needs none has none.
QString projectCompanionPath(const QString& projectPath);

// One value of the project's companion file; undefined when the file or the value is missing.
Result<QJsonValue> projectCompanionValue(const QString& projectPath, const QString& key);
// Sets one value of the companion file and keeps the others; the project file is not touched.
Status setProjectCompanionValue(const QString& projectPath, const QString& key,
                                const QJsonValue& value);

// Writes the file in the project's code page, and its companion, atomically: a value with a
// double quote, or a character the code page does not have, is refused and nothing is written.
Status WriteProjectFile(const StoredSettings& settings, const QString& path);

// What a save did with the badge list the file held when it was written over.
struct BadgeListMerge {
    QStringList badges;          // the list written
    QStringList keptFromDisk;    // listed at another station since the file was read here
    QStringList droppedFromDisk; // taken off the list at another station since then
};

// A three-way merge of badge names (in any letter case one badge): `base` is the list as the
// file held it when last read or written here, `ours` the list now, `onDisk` the file's list now.
// Our order first, then the names other stations added, in their order.
BadgeListMerge mergeBadgeLists(const QStringList& base, const QStringList& ours,
                               const QStringList& onDisk);

// Writes the project as WriteProjectFile does; with a `base`, its badge list is merged with the
// list the file holds now rather than replacing it (a file that cannot be read is written over
// as it is). The project
// file is locked from its reading to its writing, so two stations saving at once both keep their
// badges; a lock held too long is refused naming the station holding it.
Result<BadgeListMerge> WriteProjectFileMerged(const StoredSettings& settings, const QString& path,
                                              const std::optional<QStringList>& base);

// The exact inverse of the writer. A file that does not follow the format (a key missing or out
// of order, a count that disagrees with the lines that follow, text after the last badge) is
// rejected as a whole; the failure says where. `file` names it in messages.
Result<StoredSettings> parseProjectFile(const QByteArray& bytes,
                                        const TextCodePage& page = TextCodePage(),
                                        const QString& file = QString());
// The code page taken for projects without a companion file when no other is given: the one
// named at start (vellumark --codepage), else none.
TextCodePage bareProjectCodePage();
void setBareProjectCodePage(const TextCodePage& page);

// The code page comes from the companion file; `withoutCompanion` is taken for a project that
// has none (vellumark --codepage). A Jet 3 code page still kept in DatabasePath
// (";charset=CP1256") is taken out of it into AccessCodePage, to be saved in the companion.
Result<StoredSettings>
ReadProjectFile(const QString& path, const TextCodePage& withoutCompanion = bareProjectCodePage());

} // namespace vm
