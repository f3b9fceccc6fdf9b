#include "records/PrintedChange.h"

#include "badge/BadgeFile.h"
#include "common/FileNames.h"
#include "common/PictureFiles.h"
#include "records/PrintJournal.h"
#include "records/RecordLink.h"

#include <QFileInfo>

namespace vm {

QString recordedLayoutName(const QString& badge)
{
    QString name = QFileInfo(badge).fileName();
    if (name.endsWith(QLatin1String(".lyt"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

PrintedChangeCheck::PrintedChangeCheck(StoredSettings project)
    : m_project(std::move(project))
{
}

PrintedChangeCheck::~PrintedChangeCheck() = default;

Result<bool> PrintedChangeCheck::changed(RecordLinker& linker, const RecordKey& key,
                                         const IssueSummary& last)
{
    std::shared_ptr<const BadgeLayoutRead>& layout = m_layouts[last.lastLayout];
    if (!layout)
        layout = std::make_shared<const BadgeLayoutRead>(loadBadgeLayout(
            resolveFileName(fileInFolder(m_project.BadgeDir, last.lastLayout + ".Lyt")),
            m_project.ProjectName, m_project.DatabasePath, FieldTagRule::TableAndColumn));
    if (layout->status != LoadStatus::Loaded)
        return Status::failure(QStringLiteral("the badge %1 of the last print cannot be read: %2")
                                   .arg(last.lastLayout, layout->errorText));
    // The fingerprint reads the picture files itself: decoding them is not needed.
    linker.setPictureDecodeSize(PictureHeaderOnly, PictureHeaderOnly);
    const LinkResult linked = linker.link(key);
    linker.setPictureDecodeSize({}, {});
    if (!linked.record)
        return Status::failure(linked.message);
    QList<const BadgeSide*> sides;
    if (last.lastSides != QLatin1String("back"))
        sides << &layout->front;
    if (last.lastSides.contains(QLatin1String("back")))
        sides << &layout->back;
    return printedFingerprint(sides, *linked.record) != last.lastFingerprint;
}

} // namespace vm
