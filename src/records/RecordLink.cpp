#include "records/RecordLink.h"

#include "badge/BadgeSide.h"
#include "common/FileNames.h"
#include "records/RecordQuery.h"

#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSqlField>
#include <QSqlQuery>

namespace vm {
namespace {

// Where a missing picture is looked for next: x.jpg -> x.jpeg -> x.bmp -> nothing.
QString nextPictureName(const QString& path)
{
    if (path.endsWith(QLatin1String(".jpg")))
        return path.left(path.size() - 3) + QStringLiteral("jpeg");
    if (path.endsWith(QLatin1String(".jpeg")))
        return path.left(path.size() - 4) + QStringLiteral("bmp");
    return {};
}

QImage readPicture(const QString& path, QSize decodeSize)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (decodeSize.isValid()) {
        const QSize full = reader.size();
        if (full.isValid() &&
            (full.width() > decodeSize.width() || full.height() > decodeSize.height()))
            reader.setScaledSize(full.scaled(decodeSize, Qt::KeepAspectRatioByExpanding));
    }
    return reader.read();
}

} // namespace

bool OpenImage(QImage& picture, QString& path, QSize decodeSize)
{
    bool first = true;
    while (true) {
        const QString file = resolveFileName(path);
        if (!path.isEmpty() && QFileInfo(file).isFile()) {
            picture = readPicture(file, decodeSize);
            return first && !picture.isNull(); // an unreadable file is not looked for again
        }
        const QString next = nextPictureName(path);
        if (next.isEmpty()) {
            picture = QImage();
            return false;
        }
        path = next;
        first = false;
    }
}

QSqlRecord qualifyJoinedColumns(const QSqlRecord& row, const QList<QPair<QString, int>>& tables)
{
    int total = 0;
    for (const auto& table : tables)
        total += table.second;
    if (tables.size() < 2 || total != row.count())
        return row;

    QHash<QString, int> occurrences;
    for (int i = 0; i < row.count(); ++i)
        ++occurrences[row.fieldName(i).toLower()];

    QSqlRecord named = row;
    int column = 0;
    for (const auto& [table, count] : tables) {
        for (int i = 0; i < count; ++i, ++column) {
            if (occurrences.value(row.fieldName(column).toLower()) > 1) {
                QSqlField field = named.field(column);
                field.setName(table + QLatin1Char('.') + row.fieldName(column));
                named.replace(column, field);
            }
        }
    }
    return named;
}

void fillFieldCaptions(BadgeSide& side, const QSqlRecord& record)
{
    for (auto& [index, field] : side.lblField) {
        int column = record.indexOf(field.Tag); // a joined record's qualified name wins
        if (column < 0) {
            const qsizetype dot = field.Tag.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                column = record.indexOf(field.Tag.mid(dot + 1));
        }
        if (column < 0)
            continue;
        const QVariant value = record.value(column);
        field.Caption = value.isNull() ? QStringLiteral(" ") : value.toString();
    }
}

void placePictures(BadgeSide& side, const QImage& photo, const QImage& sign)
{
    side.imgPhoto.Picture = photo;
    side.imgSign.Picture = sign;
    side.imgPhoto.ShowPlaceholder = false;
    side.imgSign.ShowPlaceholder = false;
}

RecordLinker::RecordLinker(DatabaseConnection& database, const StoredSettings& project)
    : m_db(database)
    , m_project(project)
{
}

void RecordLinker::setPictureDecodeSize(QSize photo, QSize sign)
{
    m_photoDecode = photo;
    m_signDecode = sign;
}

ColumnKind RecordLinker::keyKind()
{
    if (!m_keyKind)
        m_keyKind = m_db.columnKind(m_project.MasterTable, m_project.UniqueField);
    return *m_keyKind;
}

QList<QPair<QString, int>> RecordLinker::joinedTables()
{
    if (!m_joined) {
        QList<QPair<QString, int>> tables;
        tables << qMakePair(m_project.MasterTable,
                            int(ListFieldNames(m_db, m_project.MasterTable).size()));
        for (const QString& child : m_project.DataTables)
            tables << qMakePair(child, int(ListFieldNames(m_db, child).size()));
        m_joined = tables;
    }
    return *m_joined;
}

QString RecordLinker::pictureColumnValue(const QSqlRecord& record, const QString& field,
                                         bool* missing) const
{
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    const int column = record.indexOf(dot < 0 ? field : field.mid(dot + 1));
    *missing = column < 0;
    return *missing ? QString() : record.value(column).toString(); // a null adds nothing
}

RecordLinker::Result RecordLinker::link(const QString& keyValue, BadgeSide& front, BadgeSide& back)
{
    Result result;
    const NameQuoter quote = [this](const QString& name) {
        return m_db.quoteName(name);
    };
    const RecordStatements statements =
        buildRecordStatements(m_project, keyValue, keyKind(), quote);

    auto stopped = [&](const DatabaseConnection::Selection& selection) {
        result.error = selection.error;
        result.outcome = selection.outcome == DatabaseConnection::Outcome::Rejected
                             ? Outcome::Rejected
                             : Outcome::Ended;
        return result;
    };

    DatabaseConnection::Selection record = m_db.select(statements.recordSql);
    if (record.outcome != DatabaseConnection::Outcome::Ok)
        return stopped(record);
    if (!record.query.next())
        return result; // no such record: the badge keeps what it showed
    const QSqlRecord row = qualifyJoinedColumns(record.query.record(), joinedTables());
    fillFieldCaptions(front, row);
    fillFieldCaptions(back, row);

    if (m_project.PlaceImages != 1) {
        placePictures(front, {}, {});
        placePictures(back, {}, {});
        result.outcome = Outcome::Linked;
        return result;
    }

    if (!statements.pictureSql.isEmpty()) {
        DatabaseConnection::Selection pictures = m_db.select(statements.pictureSql);
        if (pictures.outcome != DatabaseConnection::Outcome::Ok)
            return stopped(pictures);
        if (!pictures.query.next())
            return result;
        const QSqlRecord pictureRow = pictures.query.record();
        bool missing = false;
        if (isPictureFieldSet(m_project.PhotoField)) {
            const QString value = pictureColumnValue(pictureRow, m_project.PhotoField, &missing);
            if (!missing)
                result.photoPath = m_project.PhotoDir + value + QStringLiteral(".jpg");
        }
        if (isPictureFieldSet(m_project.SignField)) {
            const QString value = pictureColumnValue(pictureRow, m_project.SignField, &missing);
            if (!missing)
                result.signPath = m_project.SignDir + value + QStringLiteral(".jpg");
        }
    }
    OpenImage(result.photo, result.photoPath, m_photoDecode);
    OpenImage(result.sign, result.signPath, m_signDecode);
    placePictures(front, result.photo, result.sign);
    placePictures(back, result.photo, result.sign);
    result.outcome = Outcome::Linked;
    return result;
}

} // namespace vm
