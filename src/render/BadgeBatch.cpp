#include "render/BadgeBatch.h"

#include "badge/BadgeFile.h"
#include "common/FileNames.h"
#include "common/Units.h"
#include "project/Database.h"
#include "project/ProjectCheck.h"
#include "project/ProjectFile.h"
#include "records/RecordLink.h"
#include "render/BadgeRenderer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace vm {
namespace {

// A name of the project's badge folder, with or without its extension, or a path.
QString badgeFilePath(const StoredSettings& project, const QString& badge)
{
    const QFileInfo given(badge);
    if (badge.contains(QLatin1Char('/')) || (given.exists() && given.isFile()))
        return resolveFileName(given.absoluteFilePath());
    const bool hasExtension = badge.endsWith(QLatin1String(".lyt"), Qt::CaseInsensitive);
    return resolveFileName(project.BadgeDir + badge +
                           (hasExtension ? QString() : QStringLiteral(".lyt")));
}

QString unknownBadge(const StoredSettings& project, const QString& badge, const QString& why)
{
    if (badge.contains(QLatin1Char('/')))
        return QStringLiteral("Cannot read the badge file: %1").arg(why);
    const QString known = project.Badges.isEmpty()
                              ? QStringLiteral("the project lists no badges")
                              : QStringLiteral("the project's badges are: %1")
                                    .arg(project.Badges.join(QStringLiteral(", ")));
    return QStringLiteral("No badge %1 in the badge folder %2 (%3); %4")
        .arg(badge, project.BadgeDir, why, known);
}

// Pixels a frame needs at the output resolution, so photographs decode no larger than printed.
QSize framePixels(const PictureFrame& front, const PictureFrame& back, int dpi)
{
    const double w = twipsToPixels(std::max(front.Width, back.Width), dpi);
    const double h = twipsToPixels(std::max(front.Height, back.Height), dpi);
    if (w < 1 || h < 1)
        return {};
    return {int(std::ceil(w)), int(std::ceil(h))};
}

// Every key of the master table, in table order, typed as the unique field is.
bool readAllKeys(DatabaseConnection& db, const StoredSettings& project, ColumnKind kind,
                 QList<RecordKey>* keys, QString* error)
{
    DatabaseConnection::Selection rows =
        db.select(QStringLiteral("select * from ") + db.quoteName(project.MasterTable));
    if (rows.outcome != DatabaseConnection::Outcome::Ok) {
        *error = rows.error;
        return false;
    }
    const int column = rows.query.record().indexOf(project.UniqueField);
    if (column < 0) {
        *error = QStringLiteral("the table %1 has no column %2")
                     .arg(project.MasterTable, project.UniqueField);
        return false;
    }
    while (rows.query.next())
        *keys << RecordKey::fromValue(rows.query.value(column), kind);
    return true;
}

// Qt's PDF engine writes page boxes in whole points ("/MediaBox [0 0 244.000000 155.000000]" for
// a card of 243.8 x 154.5 points). This device passes the file through and puts the exact card
// size into each box; the text keeps its length, so the file's cross-reference offsets stay right.
class ExactMediaBox : public QIODevice {
public:
    ExactMediaBox(QIODevice* target, QSizeF roundedPoints, QSizeF exactPoints)
        : m_target(target)
        , m_rounded(mediaBox(roundedPoints))
        , m_exact(mediaBox(exactPoints))
    {
        if (m_exact.size() != m_rounded.size())
            m_exact = m_rounded; // cannot be swapped in place; keep Qt's box
    }

    bool open(OpenMode mode) override { return QIODevice::open(mode | QIODevice::Unbuffered); }

    void close() override
    {
        flush(m_pending.size());
        QIODevice::close();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override
    {
        m_pending.append(data, size);
        for (qsizetype at = m_pending.indexOf(m_rounded); at >= 0 && m_exact != m_rounded;
             at = m_pending.indexOf(m_rounded, at + m_exact.size()))
            m_pending.replace(at, m_rounded.size(), m_exact);
        // Keep back what could be the start of a box split across two writes.
        if (!flush(m_pending.size() - (m_rounded.size() - 1)))
            return -1;
        return size;
    }

private:
    static QByteArray mediaBox(QSizeF points)
    {
        return "/MediaBox [0 0 " + QByteArray::number(points.width(), 'f', 6) + ' ' +
               QByteArray::number(points.height(), 'f', 6) + ']';
    }

    bool flush(qsizetype count)
    {
        if (count <= 0)
            return true;
        const bool written = m_target->write(m_pending.constData(), count) == count;
        m_pending.remove(0, count);
        return written;
    }

    QIODevice* m_target;
    QByteArray m_rounded;
    QByteArray m_exact;
    QByteArray m_pending;
};

// Where the pages go: one PDF with a page per side, or one PNG per side. Nothing is written over
// an existing file until a page has been drawn for it.
class PageOutput {
public:
    PageOutput(const BadgeBatchRequest& request, QSizeF cardTwips, int expectedPages)
        : m_request(request)
        , m_singlePage(expectedPages == 1)
        , m_pdf(request.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        , m_options(renderOptions(RenderMode::Output, cardTwips))
    {
    }

    // Opens the PDF's temporary file, so an output that cannot be written is known before any
    // record is linked; the file named on the command line is not touched.
    bool begin(QString* error)
    {
        if (!m_pdf)
            return true;
        m_file.setFileName(m_request.output);
        if (!m_file.open(QIODevice::WriteOnly)) {
            *error =
                QStringLiteral("Cannot write %1: %2").arg(m_request.output, m_file.errorString());
            return false;
        }
        return true;
    }

    bool addPage(const BadgeSide& side, int record, const QString& sideName, QString* error)
    {
        if (m_pdf) {
            if (m_pages == 0)
                startPdf();
            else
                m_writer->newPage();
            renderCard(m_painter, side, m_writer->resolution(), m_writer->resolution(), m_options);
            ++m_pages;
            return true;
        }
        const QImage image = renderSideImage(side, m_options.cardTwips, m_request.dpi, m_options);
        const QString path = pngName(record, sideName);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        m_files << path;
        ++m_pages;
        return true;
    }

    // Without a page the PDF is dropped: a run that rendered nothing leaves the old file alone.
    bool finish(QString* error)
    {
        if (!m_pdf)
            return true;
        if (m_pages == 0) {
            m_file.cancelWriting();
            return true;
        }
        m_painter.end();
        m_writer.reset();
        m_exactBox->close();
        if (!m_file.commit()) {
            *error =
                QStringLiteral("Cannot write %1: %2").arg(m_request.output, m_file.errorString());
            return false;
        }
        m_files << m_request.output;
        return true;
    }

    int pages() const { return m_pages; }
    QStringList files() const { return m_files; }

private:
    void startPdf()
    {
        const QSizeF card = m_options.cardTwips;
        const QSizeF points(twipsToPoints(card.width()), twipsToPoints(card.height()));
        const QPageSize pageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch);
        m_exactBox = std::make_unique<ExactMediaBox>(&m_file, pageSize.sizePoints(), points);
        m_exactBox->open(QIODevice::WriteOnly);
        m_writer = std::make_unique<QPdfWriter>(m_exactBox.get());
        m_writer->setCreator(QStringLiteral("Vellumark"));
        m_writer->setTitle(QFileInfo(m_request.output).completeBaseName());
        m_writer->setPageSize(pageSize);
        m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
        m_writer->setResolution(1200);
        m_painter.begin(m_writer.get());
    }

    QString pngName(int record, const QString& sideName) const
    {
        if (m_singlePage)
            return m_request.output;
        QString base = m_request.output;
        base.chop(4);
        if (record > 0)
            base += QStringLiteral("-%1").arg(record, 4, 10, QLatin1Char('0'));
        return base + QLatin1Char('-') + sideName + QStringLiteral(".png");
    }

    const BadgeBatchRequest& m_request;
    bool m_singlePage;
    bool m_pdf;
    RenderOptions m_options;
    QSaveFile m_file;
    std::unique_ptr<ExactMediaBox> m_exactBox;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    int m_pages = 0;
    QStringList m_files;
};

} // namespace

BadgeBatchResult renderBadgeBatch(const BadgeBatchRequest& request,
                                  const std::function<void(const QString&)>& report)
{
    BadgeBatchResult result;
    const PageOutput* written = nullptr;
    auto unusable = [&](const QString& message) {
        report(message);
        result.unusable = true;
        if (written) { // PNG files written before the failure stay
            result.pages = written->pages();
            result.files = written->files();
        }
        return result;
    };

    const QString projectFile = resolveFileName(request.projectFile);
    const Result<StoredSettings> read = ReadProjectFile(projectFile);
    if (!read)
        return unusable(
            QStringLiteral("Cannot use the project %1: %2").arg(request.projectFile, read.error()));
    const StoredSettings& project = *read;
    QString why;

    const QString badgePath = badgeFilePath(project, request.badge);
    const BadgeLayoutRead layout = loadBadgeLayout(
        badgePath, project.ProjectName, project.DatabasePath, FieldTagRule::TableAndColumn);
    if (layout.status == LoadStatus::CannotOpen)
        return unusable(unknownBadge(project, request.badge, layout.errorText));
    if (layout.status != LoadStatus::Loaded)
        return unusable(QStringLiteral("%1 (%2)").arg(layout.errorText, badgePath));
    // What was read whole is still rendered, but the run does not count as complete.
    const bool badgeWhole = layout.endedEarly.isEmpty();
    if (!badgeWhole)
        report(earlyEndText(layout));
    for (const QString& logo : layout.missingLogos)
        report(QStringLiteral("The logo picture %1 could not be loaded.").arg(logo));
    const BadgeSide& frontSide = layout.front;
    const BadgeSide& backSide = layout.back;
    const QSizeF card =
        cardSizeTwips(layout.orientation == 2 ? Orientation::Portrait : Orientation::Landscape);

    DatabaseConnection db;
    RecordLinker linker(db, project);
    QStringList keys = request.keys;
    QList<RecordKey> tableKeys;
    const bool linkRecords = request.allRecords || !keys.isEmpty();
    if (linkRecords) {
        if (const Status fits = checkProjectDatabase(db, project); !fits)
            return unusable(fits.error());
    }
    if (request.allRecords) {
        if (!readAllKeys(db, project, linker.keyKind(), &tableKeys, &why))
            return unusable(
                QStringLiteral("Cannot read the records of %1: %2").arg(project.MasterTable, why));
        for (const RecordKey& key : std::as_const(tableKeys))
            keys << key.text();
    }

    const bool wantFront = request.sides != BadgeBatchRequest::Sides::Back;
    const bool wantBack = request.sides != BadgeBatchRequest::Sides::Front;
    const int sidesPerRecord = int(wantFront) + int(wantBack);
    PageOutput output(request, card, std::max<qsizetype>(1, keys.size()) * sidesPerRecord);
    if (!output.begin(&why))
        return unusable(why);
    written = &output;

    linker.setPictureDecodeSize(framePixels(frontSide.imgPhoto, backSide.imgPhoto, request.dpi),
                                framePixels(frontSide.imgSign, backSide.imgSign, request.dpi));
    bool allRendered = badgeWhole;
    auto addPages = [&](const BadgeSide& f, const BadgeSide& b, int record) {
        if ((wantFront && !output.addPage(f, record, QStringLiteral("front"), &why)) ||
            (wantBack && !output.addPage(b, record, QStringLiteral("back"), &why))) {
            report(why);
            return false;
        }
        return true;
    };

    if (!linkRecords) {
        if (!addPages(frontSide, backSide, 0))
            return unusable(QString());
    }
    QElapsedTimer sinceReport;
    sinceReport.start();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        // A record that does not link is skipped whole: no page shows part of it.
        const Result<RecordKey> key =
            request.allRecords ? Result<RecordKey>(tableKeys[i]) : linker.keyFromText(keys[i]);
        const LinkResult link =
            key ? linker.link(*key) : LinkResult{LinkOutcome::Failed, key.error(), std::nullopt};
        if (link.outcome != LinkOutcome::Linked) {
            report(link.outcome == LinkOutcome::Rejected
                       ? QStringLiteral("Record %1: Error in data linking (%2); skipped")
                             .arg(keys[i], link.message)
                       : QStringLiteral("Record %1: %2 Skipped.").arg(keys[i], link.message));
            allRendered = false;
            continue;
        }
        if (!addPages(filledSide(frontSide, *link.record), filledSide(backSide, *link.record),
                      int(i) + 1))
            return unusable(QString());
        ++result.records;
        if (sinceReport.elapsed() >= 1000) {
            report(QStringLiteral("%1 of %2 badges rendered").arg(i + 1).arg(keys.size()));
            sinceReport.restart();
        }
    }
    if (!output.finish(&why))
        return unusable(why);
    result.pages = output.pages();
    result.files = output.files();
    if (result.pages == 0)
        report(QStringLiteral("No badge was rendered, so nothing was written."));
    result.ok = allRendered && result.pages > 0;
    return result;
}

} // namespace vm
