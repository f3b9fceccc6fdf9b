#include "project/ProjectFile.h"

#include "common/DatabaseAddress.h"
#include "common/FileNames.h"
#include "common/QuotedLines.h"
#include "common/ReadFile.h"
#include "common/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <algorithm>

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

const QString CompanionFormat = QStringLiteral("vellumark-project");
constexpr int CompanionVersion = 1;
const QString KeyCodePage = QStringLiteral("textCodePage");
const QString KeyAccessCodePage = QStringLiteral("accessCodePage");

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The companion's document; an empty one when there is no file. Keys this version does not know
// are kept, so an older copy saving the project loses nothing a newer one wrote.
Result<QJsonObject> readCompanion(const QString& path)
{
    if (!QFile::exists(path))
        return QJsonObject();
    const Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        object.value(QStringLiteral("format")).toString() != CompanionFormat)
        return Status::failure(
            QStringLiteral("%1 is not a project companion file%2")
                .arg(shown(path), error.error != QJsonParseError::NoError
                                      ? QStringLiteral(" (%1 at byte %2)")
                                            .arg(error.errorString())
                                            .arg(error.offset)
                                      : QString()));
    if (object.value(QStringLiteral("version")).toInt() > CompanionVersion)
        return Status::failure(QStringLiteral("%1 was written by a newer version of the program, "
                                              "which this one cannot read")
                                   .arg(shown(path)));
    return object;
}

// The code pages in the companion, over those given.
Status takeCodePages(const QJsonObject& companion, const QString& path, StoredSettings& s)
{
    if (companion.contains(KeyCodePage)) {
        const QString name = companion.value(KeyCodePage).toString();
        const std::optional<TextCodePage> page = TextCodePage::named(name);
        if (!page)
            return Status::failure(
                QStringLiteral("%1 names the code page \"%2\", which this program does not know")
                    .arg(shown(path), name));
        s.CodePage = *page;
    }
    if (companion.contains(KeyAccessCodePage))
        s.AccessCodePage = companion.value(KeyAccessCodePage).toString();
    return {};
}

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

QString projectCompanionPath(const QString& projectPath)
{
    return projectPath + QStringLiteral(".json");
}

Result<QJsonValue> projectCompanionValue(const QString& projectPath, const QString& key)
{
    const Result<QJsonObject> companion =
        readCompanion(resolveFileName(projectCompanionPath(projectPath)));
    if (!companion)
        return companion.status();
    return companion->value(key);
}

Status setProjectCompanionValue(const QString& projectPath, const QString& key,
                                const QJsonValue& value)
{
    const QString path = resolveFileName(projectCompanionPath(projectPath));
    Result<QJsonObject> companion = readCompanion(path);
    if (!companion)
        return companion.status();
    QJsonObject& object = *companion;
    object.insert(key, value);
    object.insert(QStringLiteral("format"), CompanionFormat);
    object.insert(QStringLiteral("version"), CompanionVersion);
    return saveFileAtomically(path, QJsonDocument(object).toJson());
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
    const Result<QByteArray> bytes =
        encodeFromUtf8(encodeQuotedLines(projectFileLines(settings)), settings.CodePage, path);
    if (!bytes)
        return bytes.status();

    const QString companionPath = resolveFileName(projectCompanionPath(path));
    Result<QJsonObject> companion = readCompanion(companionPath);
    if (!companion)
        companion = QJsonObject(); // replaced by a good one
    QJsonObject& object = *companion;
    object.remove(KeyCodePage);
    object.remove(KeyAccessCodePage);
    if (settings.CodePage.isChosen())
        object.insert(KeyCodePage, settings.CodePage.name());
    if (!settings.AccessCodePage.isEmpty())
        object.insert(KeyAccessCodePage, settings.AccessCodePage);
    object.remove(QStringLiteral("format"));
    object.remove(QStringLiteral("version"));
    const bool needed = !object.isEmpty();
    object.insert(QStringLiteral("format"), CompanionFormat);
    object.insert(QStringLiteral("version"), CompanionVersion);

    return saveFilePair(path, *bytes, companionPath,
                        needed ? std::optional(QJsonDocument(object).toJson()) : std::nullopt);
}

namespace {

bool listed(const QStringList& names, const QString& name)
{
    return std::any_of(names.begin(), names.end(), [&](const QString& other) {
        return other.compare(name, Qt::CaseInsensitive) == 0;
    });
}

QStringList without(const QStringList& names, const QStringList& taken)
{
    QStringList left;
    for (const QString& name : names) {
        if (!listed(taken, name))
            left << name;
    }
    return left;
}

} // namespace

BadgeListMerge mergeBadgeLists(const QStringList& base, const QStringList& ours,
                               const QStringList& onDisk)
{
    BadgeListMerge merge;
    merge.droppedFromDisk = without(without(base, onDisk), without(base, ours));
    merge.keptFromDisk = without(without(onDisk, base), ours);
    merge.badges = without(ours, merge.droppedFromDisk) + merge.keptFromDisk;
    return merge;
}

Result<BadgeListMerge> WriteProjectFileMerged(const StoredSettings& settings, const QString& path,
                                              const std::optional<QStringList>& base)
{
    // Where no lock can be made (a folder not to be written), the write itself says why.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000) && lock.error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, program;
        const bool known = lock.getLockInfo(&pid, &host, &program);
        return Status::failure(
            QStringLiteral("%1 is being saved at another station%2: try again in a moment.")
                .arg(shown(path),
                     known ? QStringLiteral(" (%1, process %2)").arg(host).arg(pid) : QString()));
    }
    StoredSettings merged = settings;
    BadgeListMerge merge;
    merge.badges = settings.Badges;
    if (base && QFile::exists(path)) {
        if (const Result<StoredSettings> onDisk = ReadProjectFile(path, settings.CodePage))
            merge = mergeBadgeLists(*base, settings.Badges, onDisk->Badges);
    }
    merged.Badges = merge.badges;
    if (Status written = WriteProjectFile(merged, path); !written)
        return written;
    return merge;
}

Result<StoredSettings> parseProjectFile(const QByteArray& bytes, const TextCodePage& page,
                                        const QString& file)
{
    const Result<DecodedLines> lines = DecodedLines::decode(bytes, page, file);
    if (!lines)
        return lines.status();
    FieldReader in(lines->toStringList());
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
    s.CodePage = page;
    return s;
}

namespace {

TextCodePage& bareProjectPage()
{
    static TextCodePage page;
    return page;
}

} // namespace

TextCodePage bareProjectCodePage()
{
    return bareProjectPage();
}

void setBareProjectCodePage(const TextCodePage& page)
{
    bareProjectPage() = page;
}

Result<StoredSettings> ReadProjectFile(const QString& path, const TextCodePage& withoutCompanion)
{
    const QString companionPath = resolveFileName(projectCompanionPath(path));
    const Result<QJsonObject> companion = readCompanion(companionPath);
    if (!companion)
        return companion.status();
    StoredSettings pages;
    pages.CodePage = withoutCompanion;
    if (Status taken = takeCodePages(*companion, companionPath, pages); !taken)
        return taken;

    const Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    if (bytes->contains('\0'))
        return Status::failure(QStringLiteral("the file holds binary data, not a project"));
    Result<StoredSettings> read = parseProjectFile(*bytes, pages.CodePage, path);
    if (!read)
        return read;
    const AccessLocation location = splitAccessPath(read->DatabasePath);
    read->DatabasePath = location.file;
    read->AccessCodePage = pages.AccessCodePage.isEmpty() ? QString::fromLatin1(location.charset)
                                                          : pages.AccessCodePage;
    return read;
}

} // namespace vm
