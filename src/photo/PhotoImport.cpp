#include "photo/PhotoImport.h"

#include "badge/BadgeFile.h"
#include "common/FileNames.h"
#include "common/OrderedWork.h"
#include "common/PictureFiles.h"
#include "photo/CropPlacement.h"
#include "photo/FaceFinder.h"
#include "photo/PhotoStore.h"
#include "project/Database.h"
#include "project/ProjectCheck.h"
#include "records/RecordLink.h"
#include "records/RecordQuery.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <map>

namespace vm {
namespace {

// A photo frame of 26 x 35 mm, the usual passport shape, when no badge shows a photograph.
const QSizeF UsualFrame(1474, 1984);

const QStringList PictureEndings = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                    QStringLiteral("png"), QStringLiteral("bmp")};

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

struct Person {
    RecordKey key;
    QString value; // the photo value
};

// The badge's photo frame: the largest either side shows.
std::optional<QSizeF> photoFrameOf(const BadgeLayoutRead& layout)
{
    std::optional<QSizeF> largest;
    for (const BadgeSide* side : {&layout.front, &layout.back}) {
        const PictureFrame& frame = side->imgPhoto;
        if (!frame.Visible || !(frame.Width > 0) || !(frame.Height > 0))
            continue;
        if (!largest || frame.Width * frame.Height > largest->width() * largest->height())
            largest = QSizeF(frame.Width, frame.Height);
    }
    return largest;
}

// The frame the crops take their shape and size from.
Status chooseFrame(const StoredSettings& project, const QString& badge, PhotoImportReport& report)
{
    const QStringList names = badge.isEmpty() ? project.Badges : QStringList{badge};
    for (const QString& name : names) {
        const bool hasEnding = name.endsWith(QLatin1String(".lyt"), Qt::CaseInsensitive);
        const QString file =
            name.contains(QLatin1Char('/'))
                ? name
                : resolveFileName(fileInFolder(
                      project.BadgeDir, name + (hasEnding ? QString() : QStringLiteral(".Lyt"))));
        const BadgeLayoutRead layout = loadBadgeLayout(
            file, project.ProjectName, project.DatabasePath, FieldTagRule::TableAndColumn);
        if (layout.status != LoadStatus::Loaded) {
            if (!badge.isEmpty())
                return Status::failure(
                    QStringLiteral("Cannot read the badge %1: %2").arg(badge, layout.errorText));
            continue;
        }
        if (const std::optional<QSizeF> frame = photoFrameOf(layout)) {
            report.frameTwips = *frame;
            report.frameFrom = QStringLiteral("the photo frame of the badge %1").arg(name);
            return {};
        }
        if (!badge.isEmpty())
            return Status::failure(
                QStringLiteral("The badge %1 shows no photograph on either side").arg(badge));
    }
    report.frameTwips = UsualFrame;
    report.frameFrom = QStringLiteral("a frame of 26 x 35 mm, as no badge of the project shows "
                                      "a photograph");
    return {};
}

// Every person of the master table with their photo value.
Result<QList<Person>> readPeople(DatabaseConnection& db, const StoredSettings& project)
{
    const ColumnKind kind = db.keyColumnKind(project.MasterTable, project.UniqueField);
    const qsizetype dot = project.PhotoField.indexOf(QLatin1Char('.'));
    const QString photoTable = project.PhotoField.left(dot);
    const QString photoColumn = project.PhotoField.mid(dot + 1);
    const bool inMaster = photoTable.compare(project.MasterTable, Qt::CaseInsensitive) == 0;
    QString sql = QStringLiteral("select ") + db.quoteName(project.UniqueField);
    if (inMaster)
        sql += QStringLiteral(", ") + db.quoteName(photoColumn);
    sql += QStringLiteral(" from ") + db.quoteName(project.MasterTable);
    DatabaseConnection::Selection rows = db.select(sql, {}, DatabaseConnection::Scroll::ForwardOnly,
                                                   DatabaseConnection::Precision::Exact);
    if (rows.outcome != DatabaseConnection::Outcome::Ok)
        return Status::failure(QStringLiteral("Cannot read the people of %1: %2")
                                   .arg(project.MasterTable, rows.error));
    QList<Person> people;
    while (rows.query.next()) {
        Person person{RecordKey::fromValue(rows.query.value(0), kind),
                      inMaster ? rows.query.value(1).toString() : QString()};
        if (person.key.isValid())
            people << person;
    }
    if (!inMaster) { // the value of a child table's row, as the badge links it
        for (Person& person : people) {
            const Result<QString> value = photoValueOf(db, project, person.key);
            person.value = value ? *value : QString();
        }
    }
    return people;
}

// A matched file made ready on a worker thread: the crop, or why there is none.
struct Cropped {
    QImage picture;
    QString note;
    QString error;
};

Cropped cropFile(const QString& file, double aspect)
{
    Result<QImage> picture = readPicture(file);
    if (!picture)
        return {{}, {}, picture.error()};
    const std::optional<QRectF> face = threadFaceFinder().find(*picture, BroughtPhotoSearch);
    const QRect crop = cropForFace(picture->size(), aspect, face);
    return {picture->copy(crop),
            face ? QString() : QStringLiteral("no face found: cropped at the centre"),
            {}};
}

} // namespace

PhotoImportReport importPhotos(const StoredSettings& project, const PhotoImportRequest& request,
                               const std::function<void(int done, int total)>& progress)
{
    PhotoImportReport report;
    if (!isPictureFieldSet(project.PhotoField)) {
        report.unusable = QStringLiteral("The project names no photo column: there is nowhere to "
                                         "keep photographs (Database Configuration, step 3)");
        return report;
    }
    const QFileInfo folder(request.folder);
    if (!folder.isDir()) {
        report.unusable = QStringLiteral("%1 is not a folder").arg(shown(request.folder));
        return report;
    }
    if (const Status framed = chooseFrame(project, request.badge, report); !framed) {
        report.unusable = framed.error();
        return report;
    }
    DatabaseConnection db;
    if (const Status fits = checkProjectDatabase(db, project); !fits) {
        report.unusable = fits.error();
        return report;
    }
    const Result<QList<Person>> people = readPeople(db, project);
    if (!people) {
        report.unusable = people.error();
        return report;
    }
    RecordLinker linker(db, project);
    const Result<QHash<QString, qint64>> shared = linker.sharedKeys();
    if (!shared) {
        report.unusable = shared.error();
        return report;
    }

    // Each name a file may have, and whose it is; a name two people answer to belongs to neither.
    QHash<QString, QList<int>> byName;
    for (int p = 0; p < int(people->size()); ++p) {
        const Person& person = people->at(p);
        byName[person.key.text()] << p;
        if (!person.value.isEmpty() && person.value != person.key.text())
            byName[person.value] << p;
    }
    std::map<int, QStringList> filesOf; // person -> files, in name order
    const QFileInfoList entries =
        QDir(request.folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!PictureEndings.contains(entry.suffix().toLower()))
            continue;
        const QString name = entry.completeBaseName();
        const QList<int> whose = byName.value(name);
        QSet<QString> keys;
        for (const int p : whose)
            keys.insert(people->at(p).key.text());
        if (whose.isEmpty()) {
            report.unmatched << entry.fileName();
        } else if (keys.size() > 1) {
            QStringList named;
            for (const int p : whose)
                named << quoted(people->at(p).key.text());
            report.unmatched << QStringLiteral("%1: the name belongs to the records %2 (a key of "
                                               "one, the photo name of another)")
                                    .arg(entry.fileName(), named.join(QStringLiteral(" and ")));
        } else if (shared->contains(*keys.begin())) {
            report.unmatched << QStringLiteral("%1: %2 records have the key %3")
                                    .arg(entry.fileName())
                                    .arg(shared->value(*keys.begin()))
                                    .arg(quoted(*keys.begin()));
        } else {
            filesOf[whose.first()] << entry.filePath();
        }
    }

    struct Work {
        int person;
        QString file;
        PhotoTarget target;
    };
    const auto cancelled = [&] {
        return request.cancel && request.cancel->load();
    };
    QList<Work> work;
    QSet<int> getting; // people who get a photograph
    for (const auto& [p, files] : filesOf) {
        const Person& person = people->at(p);
        if (cancelled()) {
            for (const QString& file : files)
                report.notDone << QFileInfo(file).fileName();
            continue;
        }
        if (files.size() > 1) {
            QStringList names;
            for (const QString& file : files)
                names << QFileInfo(file).fileName();
            report.duplicates << QStringLiteral("%1: %2").arg(quoted(person.key.text()),
                                                              names.join(QStringLiteral(", ")));
            continue;
        }
        const QString file = files.first();
        const Result<PhotoTarget> target = photoTarget(db, project, person.key);
        if (!target) {
            report.failures << QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(),
                                                            target.error());
            continue;
        }
        PhotoImportReport::Match match{QFileInfo(file).fileName(),
                                       person.key.text(),
                                       target->existing.isEmpty() ? target->file : target->existing,
                                       {}};
        if (!target->existing.isEmpty() && !request.replace) {
            report.kept << match;
            continue;
        }
        getting.insert(p);
        if (request.dryRun) {
            match.into = target->file;
            if (target->writesValue)
                match.note = QStringLiteral("the photo name %1 is written into %2")
                                 .arg(quoted(target->name), project.PhotoField);
            report.imported << match;
            continue;
        }
        work << Work{p, file, *target};
    }

    const double aspect = report.frameTwips.width() / report.frameTwips.height();
    OrderedWork<int, Cropped> crops;
    crops.makeState = [] {
        return std::make_unique<int>(0);
    };
    crops.make = [&](int&, int index) {
        return cropFile(work[index].file, aspect);
    };
    crops.consume = [&](int index, Cropped&& cropped) {
        const Work& w = work[index];
        const Person& person = people->at(w.person);
        const QString fileName = QFileInfo(w.file).fileName();
        if (cancelled()) {
            for (qsizetype left = index; left < work.size(); ++left) {
                report.notDone << QFileInfo(work[left].file).fileName();
                getting.remove(work[left].person);
            }
            return false;
        }
        if (progress)
            progress(index + 1, int(work.size()));
        if (!cropped.error.isEmpty()) {
            report.failures << cropped.error;
            getting.remove(w.person);
            return true;
        }
        const Result<SavedPhoto> saved =
            storePhoto(db, project, person.key, w.target, cropped.picture, report.frameTwips);
        if (!saved) {
            report.failures << QStringLiteral("%1: %2").arg(fileName, saved.error());
            getting.remove(w.person);
            return true;
        }
        QStringList notes;
        if (!cropped.note.isEmpty())
            notes << cropped.note;
        const QSizeF printed = QSizeF(saved->pixels).scaled(report.frameTwips, Qt::KeepAspectRatio);
        const int ppi = qRound(saved->pixels.width() * 1440.0 / printed.width());
        if (ppi < StoredPhotoDpi - 1)
            notes << QStringLiteral("only %1 ppi in the frame: a larger picture prints sharper")
                         .arg(ppi);
        if (saved->valueWritten)
            notes << QStringLiteral("the photo name %1 was written into %2")
                         .arg(quoted(w.target.name), project.PhotoField);
        if (!saved->previous.isEmpty())
            notes << QStringLiteral("the one it replaced is kept as %1")
                         .arg(QFileInfo(saved->previous).fileName());
        report.imported << PhotoImportReport::Match{fileName, person.key.text(), saved->file,
                                                    notes.join(QStringLiteral("; "))};
        return true;
    };
    const int threads = request.jobs > 0 ? request.jobs : std::max(1, QThread::idealThreadCount());
    crops.run(int(work.size()), threads, 2 * threads);

    for (int p = 0; p < int(people->size()); ++p) {
        const Person& person = people->at(p);
        if (getting.contains(p) || shared->contains(person.key.text()))
            continue;
        const Result<QString> existing = person.value.isEmpty()
                                             ? Result<QString>(QString())
                                             : existingPictureFile(project.PhotoDir, person.value);
        if (!existing || existing->isEmpty())
            report.withoutPhoto << person.key.text();
    }
    return report;
}

QStringList describeImport(const PhotoImportReport& report, bool dryRun)
{
    if (!report.unusable.isEmpty())
        return {report.unusable};
    QStringList lines;
    lines << QStringLiteral("Crops take the shape of %1 (%2 x %3 mm).")
                 .arg(report.frameFrom)
                 .arg(report.frameTwips.width() * 25.4 / 1440, 0, 'f', 1)
                 .arg(report.frameTwips.height() * 25.4 / 1440, 0, 'f', 1);
    const auto matches = [&](const QString& heading, const QList<PhotoImportReport::Match>& list) {
        if (list.isEmpty())
            return;
        lines << heading.arg(list.size());
        for (const PhotoImportReport::Match& m : list)
            lines << QStringLiteral("  %1 -> %2 (record %3)%4")
                         .arg(m.file, shown(m.into), quoted(m.key),
                              m.note.isEmpty() ? QString() : QStringLiteral(": ") + m.note);
    };
    const auto plain = [&](const QString& heading, const QStringList& list) {
        if (list.isEmpty())
            return;
        lines << heading.arg(list.size());
        for (const QString& line : list)
            lines << QStringLiteral("  ") + line;
    };
    matches(dryRun ? QStringLiteral("Would import (%1):") : QStringLiteral("Imported (%1):"),
            report.imported);
    matches(QStringLiteral("Kept: these people have a photograph already; replace to overwrite "
                           "(%1):"),
            report.kept);
    plain(QStringLiteral("Not imported, as the import was cancelled (%1):"), report.notDone);
    plain(QStringLiteral("Failed (%1):"), report.failures);
    plain(QStringLiteral("Two or more files for one person, none taken (%1):"), report.duplicates);
    plain(QStringLiteral("Files that match no one (%1):"), report.unmatched);
    plain(QStringLiteral("People still without a photograph (%1):"), report.withoutPhoto);
    return lines;
}

} // namespace vm
