#include "project/ProjectFile.h"

#include "common/DatabaseAddress.h"
#include "common/QuotedLines.h"
#include "common/ReadFile.h"
#include "common/SaveFile.h"

namespace vm {
namespace {

const QString KeyProjectName = QStringLiteral("ProjectName:");
const QString KeyDatabasePath = QStringLiteral("Databsepath:");
const QString KeyDataTables = QStringLiteral("DataTables:");
const QString KeyTable = QStringLiteral("Table:");
const QString KeyMasterTable = QStringLiteral("MasterTable:");
const QString KeyUniqueField = QStringLiteral("UniqueField:");
const QString KeyTotalRelations = QStringLiteral("TotalRelations:");
const QString KeyRelation = QStringLiteral("Relation:");
const QString KeyPlaceImages = QStringLiteral("PlaceImages:");
const QString KeyPhotoField = QStringLiteral("PhotoField:");
const QString KeySignField = QStringLiteral("SignField:");
const QString KeyPhotoDir = QStringLiteral("PhotoDir:");
const QString KeySignDir = QStringLiteral("SignDir:");
const QString KeyProjectDir = QStringLiteral("ProjectDir:");
const QString KeyBadgeDir = QStringLiteral("BadgeDir:");
const QString KeyLogoDir = QStringLiteral("LogoDir:");
const QString KeyBadges = QStringLiteral("Badges:");
const QString KeyBadgeName = QStringLiteral("BadgeName:");

QString numberedKey(const QString& key, qsizetype index)
{
    return key + QString::number(index) + QLatin1Char(':');
}

// Walks the fields of a project file in order; the first mismatch stops the walk.
class FieldReader {
public:
    explicit FieldReader(QStringList fields)
        : m_fields(std::move(fields))
    {
    }

    bool failed() const { return !m_why.isEmpty(); }
    const QString& why() const { return m_why; }
    bool atEnd() const { return m_next >= m_fields.size(); }
    qsizetype remaining() const { return m_fields.size() - m_next; }

    QString text(const QString& key)
    {
        if (failed())
            return {};
        if (atEnd()) {
            fail(QStringLiteral("the file ends where \"%1\" was expected").arg(key));
            return {};
        }
        const QString& field = m_fields[m_next];
        if (!field.startsWith(key)) {
            fail(QStringLiteral("line %1: \"%2\" expected").arg(m_next + 1).arg(key));
            return {};
        }
        ++m_next;
        return field.mid(key.size());
    }

    // A count whose list lines must all follow.
    qsizetype count(const QString& key)
    {
        const QString value = text(key);
        if (failed())
            return 0;
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < 0 || value.startsWith(QLatin1Char('+'))) {
            fail(
                QStringLiteral("line %1: \"%2\" must be followed by a count").arg(m_next).arg(key));
            return 0;
        }
        if (n > remaining()) {
            fail(QStringLiteral("line %1: %2 entries announced, but the file ends before them")
                     .arg(m_next)
                     .arg(n));
            return 0;
        }
        return n;
    }

    qint16 smallInteger(const QString& key)
    {
        const QString value = text(key);
        if (failed())
            return 0;
        bool ok = false;
        const short n = value.toShort(&ok);
        if (!ok)
            fail(QStringLiteral("line %1: \"%2\" must be followed by a number")
                     .arg(m_next)
                     .arg(key));
        return n;
    }

    void fail(const QString& why)
    {
        if (m_why.isEmpty())
            m_why = why;
    }

private:
    QStringList m_fields;
    qsizetype m_next = 0;
    QString m_why;
};

} // namespace

QStringList projectFileLines(const StoredSettings& s)
{
    QStringList lines;
    lines << KeyProjectName + s.ProjectName << KeyDatabasePath + WithoutPassword(s.DatabasePath)
          << KeyDataTables + QString::number(s.DataTables.size());
    for (qsizetype i = 0; i < s.DataTables.size(); ++i)
        lines << numberedKey(KeyTable, i + 1) + s.DataTables[i];
    lines << KeyMasterTable + s.MasterTable << KeyUniqueField + s.UniqueField
          << KeyTotalRelations + QString::number(s.Relations.size());
    for (qsizetype j = 0; j < s.Relations.size(); ++j)
        lines << numberedKey(KeyRelation, j + 1) + s.Relations[j];
    lines << KeyPlaceImages + QString::number(s.PlaceImages) << KeyPhotoField + s.PhotoField
          << KeySignField + s.SignField << KeyPhotoDir + s.PhotoDir << KeySignDir + s.SignDir
          << KeyProjectDir + s.ProjectDir << KeyBadgeDir + s.BadgeDir << KeyLogoDir + s.LogoDir
          << KeyBadges + QString::number(s.Badges.size());
    for (const QString& badge : s.Badges)
        lines << KeyBadgeName + badge;
    return lines;
}

QString unstorableProjectValue(const StoredSettings& settings)
{
    for (const QString& line : projectFileLines(settings)) {
        if (containsQuote(line)) {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            const bool numbered = line.startsWith(KeyTable) || line.startsWith(KeyRelation);
            const qsizetype end = numbered ? line.indexOf(QLatin1Char(':'), colon + 1) : colon;
            return line.left(end + 1);
        }
    }
    return {};
}

Status WriteProjectFile(const StoredSettings& settings, const QString& path)
{
    const QString key = unstorableProjectValue(settings);
    if (!key.isEmpty()) {
        return Status::failure(
            QStringLiteral("The value of \"%1\" contains a double quote (\"), which a project "
                           "file cannot hold. Remove the quote and save again.")
                .arg(key));
    }
    return saveFileAtomically(path, encodeQuotedLines(projectFileLines(settings)));
}

Result<StoredSettings> parseProjectFile(const QByteArray& bytes)
{
    FieldReader in(decodeQuotedLines(bytes));
    if (in.atEnd())
        return Status::failure(QStringLiteral("the file is empty"));
    StoredSettings s;
    auto numberedList = [&](const QString& countKey, const QString& itemKey, QStringList* list) {
        const qsizetype n = in.count(countKey);
        for (qsizetype i = 1; i <= n && !in.failed(); ++i)
            *list << in.text(numberedKey(itemKey, i));
    };

    s.ProjectName = in.text(KeyProjectName);
    s.DatabasePath = in.text(KeyDatabasePath);
    numberedList(KeyDataTables, KeyTable, &s.DataTables);
    s.MasterTable = in.text(KeyMasterTable);
    s.UniqueField = in.text(KeyUniqueField);
    numberedList(KeyTotalRelations, KeyRelation, &s.Relations);
    s.PlaceImages = in.smallInteger(KeyPlaceImages);
    s.PhotoField = in.text(KeyPhotoField);
    s.SignField = in.text(KeySignField);
    s.PhotoDir = in.text(KeyPhotoDir);
    s.SignDir = in.text(KeySignDir);
    s.ProjectDir = in.text(KeyProjectDir);
    s.BadgeDir = in.text(KeyBadgeDir);
    s.LogoDir = in.text(KeyLogoDir);
    const qsizetype badges = in.count(KeyBadges);
    for (qsizetype i = 0; i < badges && !in.failed(); ++i)
        s.Badges << in.text(KeyBadgeName);
    if (!in.failed() && !in.atEnd())
        in.fail(QStringLiteral("the file goes on after its last badge name"));

    if (in.failed())
        return Status::failure(in.why());
    return s;
}

Result<StoredSettings> ReadProjectFile(const QString& path)
{
    const Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    if (bytes->contains('\0'))
        return Status::failure(QStringLiteral("the file holds binary data, not a project"));
    return parseProjectFile(*bytes);
}

} // namespace vm
