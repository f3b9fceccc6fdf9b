#include "records/PrintJournal.h"

#include "badge/BadgeSide.h"
#include "records/LinkedRecord.h"

#include <QCryptographicHash>
#include <QFile>

namespace vm {

QString printedSidesName(bool front, bool back)
{
    if (front && back)
        return QStringLiteral("front+back");
    return back ? QStringLiteral("back") : QStringLiteral("front");
}

QString printedFingerprint(const QList<const BadgeSide*>& layouts, const LinkedRecord& record)
{
    // Each part as its length and its bytes, so no value can pass for two.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    auto add = [&](const QByteArray& bytes) {
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
    };
    auto addPicture = [&](const char* what, const PictureFrame& frame, const QString& path) {
        if (!frame.Visible)
            return;
        add(what);
        QFile file(path);
        // No picture found for the person: the empty frame is what printed.
        add(!path.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    };
    for (const BadgeSide* layout : layouts) {
        add("side");
        const BadgeSide filled = filledSide(*layout, record);
        for (const auto& [index, field] : filled.lblField) {
            if (!field.Visible)
                continue;
            add(layout->lblField.at(index).Caption.toUtf8());
            add(field.Caption.toUtf8());
        }
        addPicture("photo", layout->imgPhoto, record.photoPath);
        addPicture("sign", layout->imgSign, record.signPath);
    }
    return QString::fromLatin1(hash.result().toHex());
}

IssuanceJournal::IssuanceJournal(QString projectFile, StoredSettings project, QString schema)
    : m_projectFile(std::move(projectFile))
    , m_project(std::move(project))
    , m_schema(std::move(schema))
{
}

IssuanceJournal::~IssuanceJournal() = default;

Status IssuanceJournal::ready()
{
    if (m_record)
        return {};
    Result<IssuanceRecord::Opened> opened =
        IssuanceRecord::open(m_projectFile, m_project, m_schema);
    if (!opened)
        return opened.status();
    m_record = std::move(opened->record);
    m_notice = opened->notice;
    return {};
}

Result<QHash<QString, IssueSummary>> IssuanceJournal::printedBefore(const QStringList& keys)
{
    if (Status opened = ready(); !opened)
        return opened;
    const Result<QHash<QString, IssueSummary>> all = m_record->summary(m_project.ProjectName);
    if (!all)
        return all;
    QHash<QString, IssueSummary> found;
    for (const QString& key : keys) {
        if (const auto at = all->constFind(key); at != all->cend())
            found.insert(key, *at);
    }
    return found;
}

Status IssuanceJournal::record(const PrintJob& job)
{
    if (job.testPrint || job.badges.isEmpty())
        return {};
    if (Status opened = ready(); !opened)
        return opened;
    QList<IssuanceEntry> entries;
    const QString station = stationName();
    const QString user = operatingSystemUser();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const PrintedBadge& badge : job.badges) {
        IssuanceEntry entry;
        entry.project = m_project.ProjectName;
        entry.layout = badge.layout;
        entry.sides = badge.sides;
        entry.key = badge.key;
        entry.fingerprint = badge.fingerprint;
        entry.output = job.output;
        entry.station = station;
        entry.user = user;
        entry.setPrintedAt(now);
        entries << entry;
    }
    return m_record->append(entries, job.again);
}

} // namespace vm
