#include "photo/PhotoStore.h"

#include "common/AtomicFile.h"
#include "common/PictureFiles.h"
#include "common/ReadFile.h"
#include "common/SaveFile.h"
#include "common/Units.h"
#include "records/RecordQuery.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSqlRecord>

#include <cmath>

namespace vm {
namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

QString recordName(const StoredSettings& project, const RecordKey& key)
{
    return QStringLiteral("the record %1 of %2").arg(quoted(key.text()), project.MasterTable);
}

// "Table.Column" split at its first full stop.
struct Column {
    QString table, name;
};
Column columnOf(const QString& field)
{
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    return dot < 0 ? Column{QString(), field} : Column{field.left(dot), field.mid(dot + 1)};
}

} // namespace

Result<QString> photoValueOf(DatabaseConnection& db, const StoredSettings& project,
                             const RecordKey& key)
{
    const NameQuoter quote = [&db](const QString& name) {
        return db.quoteName(name);
    };
    const Result<RecordStatements> statements =
        buildRecordStatements(project, key, quote, db.engine() == DatabaseEngine::PostgreSQL);
    if (!statements)
        return statements.status();
    DatabaseConnection::Selection row = db.select(statements->pictureSql);
    if (row.outcome != DatabaseConnection::Outcome::Ok)
        return Status::failure(QStringLiteral("The photo column %1 of %2 cannot be read: %3")
                                   .arg(project.PhotoField, recordName(project, key), row.error));
    if (!row.query.next())
        return Status::failure(
            QStringLiteral("%1 has no record whose %2 is %3")
                .arg(project.MasterTable, project.UniqueField, quoted(key.text())));
    const int column = row.query.record().indexOf(columnOf(project.PhotoField).name);
    return column < 0 ? QString() : row.query.value(column).toString();
}

namespace {

// How many rows of the photo column's table hold `name`.
Result<qint64> rowsNaming(DatabaseConnection& db, const StoredSettings& project,
                          const QString& name)
{
    const Column column = columnOf(project.PhotoField);
    const QString table = column.table.isEmpty() ? project.MasterTable : column.table;
    DatabaseConnection::Selection count =
        db.select(QStringLiteral("select count(*) from %1 where %2 = ?")
                      .arg(db.quoteName(table), db.quoteName(column.name)),
                  {name});
    if (count.outcome != DatabaseConnection::Outcome::Ok || !count.query.next())
        return Status::failure(QStringLiteral("The photo column %1 cannot be read: %2")
                                   .arg(project.PhotoField, count.error));
    return count.query.value(0).toLongLong();
}

bool isJpeg(const QString& file)
{
    return QImageReader::imageFormat(file) == "jpeg";
}

// Keeps the photograph shown until now beside the new one. A JPEG keeps its bytes; a BMP is
// kept as a JPEG of high quality, as the name says; one that no longer decodes keeps its bytes.
Status keepPrevious(const QString& existing, const QString& previous)
{
    if (!isJpeg(existing)) {
        const Result<QImage> picture = readPicture(existing);
        if (picture)
            return saveImageAtomically(*picture, previous, "JPEG", 95);
    }
    const Result<QByteArray> bytes = readWholeFile(existing, PictureFileLimit);
    if (!bytes)
        return bytes.status();
    return saveFileAtomically(previous, *bytes);
}

} // namespace

QSize storedPhotoSize(QSize crop, QSizeF frameTwips)
{
    if (crop.isEmpty() || !(frameTwips.width() > 0) || !(frameTwips.height() > 0))
        return crop;
    QSizeF printed = QSizeF(crop).scaled(frameTwips, Qt::KeepAspectRatio); // twips
    const double pixelsPerTwip = StoredPhotoDpi / TwipsPerInch;
    const QSize needed(int(std::ceil(printed.width() * pixelsPerTwip)),
                       int(std::ceil(printed.height() * pixelsPerTwip)));
    return needed.width() < crop.width() ? needed : crop;
}

QString previousPhotoFile(const QString& file)
{
    QString stem = file;
    if (stem.endsWith(QLatin1String(".jpg")))
        stem.chop(4);
    return stem + QStringLiteral(".previous.jpg");
}

Result<PhotoTarget> photoTarget(DatabaseConnection& db, const StoredSettings& project,
                                const RecordKey& key)
{
    const QString record = recordName(project, key);
    if (!isPictureFieldSet(project.PhotoField))
        return Status::failure(
            QStringLiteral("The project names no photo column: there is nowhere to keep the "
                           "photograph of %1")
                .arg(record));
    const Result<QString> value = photoValueOf(db, project, key);
    if (!value)
        return value.status();
    PhotoTarget target;
    target.name = *value;
    if (target.name.trimmed().isEmpty()) {
        const Column column = columnOf(project.PhotoField);
        if (db.isReadOnly())
            return Status::failure(
                QStringLiteral("%1 has no photo name in %2, and the database is read-only: "
                               "give it a photo name first")
                    .arg(record, project.PhotoField));
        if (column.table.compare(project.MasterTable, Qt::CaseInsensitive) != 0)
            return Status::failure(
                QStringLiteral("%1 has no photo name in %2, which lies in another table than %3: "
                               "give it a photo name first")
                    .arg(record, project.PhotoField, project.MasterTable));
        target.name = key.text();
        target.writesValue = true;
    }
    // Another record whose photograph has this name would show the new one too.
    const Result<qint64> sharing = rowsNaming(db, project, target.name);
    if (!sharing)
        return sharing.status();
    if (*sharing > (target.writesValue ? 0 : 1))
        return Status::failure(
            QStringLiteral("The photo name %1 of %2 is also the photo name of another record: "
                           "saving would change that badge too; give it a name of its own in %3")
                .arg(quoted(target.name), record, project.PhotoField));
    const Result<QString> file = newPictureFile(project.PhotoDir, target.name);
    if (!file)
        return Status::failure(
            QStringLiteral("The photograph of %1 cannot be saved: %2").arg(record, file.error()));
    target.file = *file;
    const Result<QString> existing = existingPictureFile(project.PhotoDir, target.name);
    if (!existing)
        return existing.status();
    target.existing = *existing;
    return target;
}

Result<SavedPhoto> storePhoto(DatabaseConnection& db, const StoredSettings& project,
                              const RecordKey& key, const PhotoTarget& target,
                              const QImage& cropped, QSizeF frameTwips)
{
    if (cropped.isNull())
        return Status::failure(
            QStringLiteral("No picture to save for %1").arg(recordName(project, key)));
    SavedPhoto saved;
    saved.file = target.file;
    saved.pixels = storedPhotoSize(cropped.size(), frameTwips);
    const QImage sized =
        saved.pixels == cropped.size()
            ? cropped
            : cropped.scaled(saved.pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!target.existing.isEmpty()) {
        saved.previous = previousPhotoFile(target.file);
        if (const Status kept = keepPrevious(target.existing, saved.previous); !kept)
            return Status::failure(
                QStringLiteral("The photograph of %1 was not saved: its present photograph could "
                               "not be kept: %2")
                    .arg(recordName(project, key), kept.error()));
    }
    if (const Status written = saveImageAtomically(sized, target.file, "JPEG", StoredPhotoQuality);
        !written)
        return written;
    // The one shown until now had another ending (NAME.bmp): it is kept as the previous one, and
    // left where it was it would come back if the new file were removed.
    if (!target.existing.isEmpty() && target.existing != target.file)
        QFile::remove(target.existing);
    if (target.writesValue) {
        const Column column = columnOf(project.PhotoField);
        DatabaseConnection::Selection update =
            db.execute(QStringLiteral("update %1 set %2 = ? where %3 = ?")
                           .arg(db.quoteName(project.MasterTable), db.quoteName(column.name),
                                db.quoteName(project.UniqueField)),
                       {target.name, key.value()});
        if (update.outcome != DatabaseConnection::Outcome::Ok)
            return Status::failure(
                QStringLiteral("The photograph of %1 was saved as %2, but its name could not be "
                               "written into %3: %4")
                    .arg(recordName(project, key), QDir::toNativeSeparators(target.file),
                         project.PhotoField, update.error));
        saved.valueWritten = true;
    }
    return saved;
}

} // namespace vm
