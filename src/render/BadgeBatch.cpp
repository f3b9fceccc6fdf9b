#include "render/BadgeBatch.h"

#include "badge/BadgeStore.h"
#include "common/AtomicFile.h"
#include "common/FileNames.h"
#include "common/OrderedWork.h"
#include "common/PictureFiles.h"
#include "common/Units.h"
#include "project/Database.h"
#include "project/ProjectCheck.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"
#include "records/PrintJournal.h"
#include "records/PrintedChange.h"
#include "records/RecordLink.h"
#include "render/BadgeRenderer.h"
#include "render/PageComposer.h"
#include "render/PhotoCheck.h"
#include "render/PrintCheck.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <cmath>
#include <deque>

namespace vm {
namespace {

// A name of the project's badge folder, with or without its extension, or a path.
QString badgeFilePath(const StoredSettings& project, const QString& badge)
{
    const QFileInfo given(badge);
    if (badge.contains(QLatin1Char('/')) || (given.exists() && given.isFile()))
        return resolveFileName(given.absoluteFilePath());
    const bool hasExtension = badge.endsWith(QLatin1String(".lyt"), Qt::CaseInsensitive);
    return resolveFileName(fileInFolder(
        project.BadgeDir, badge + (hasExtension ? QString() : QStringLiteral(".lyt"))));
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
// A frame neither side shows only has to be found whole, not decoded.
QSize framePixels(const PictureFrame& front, const PictureFrame& back, int dpi)
{
    if (!front.Visible && !back.Visible)
        return PictureHeaderOnly;
    const double w = twipsToPixels(std::max(front.Width, back.Width), dpi);
    const double h = twipsToPixels(std::max(front.Height, back.Height), dpi);
    if (!(w >= 1 && h >= 1))
        return {};
    // Beyond any card at any resolution; keeps a damaged frame from overflowing the size.
    constexpr double Largest = 1 << 16;
    return {int(std::ceil(std::min(w, Largest))), int(std::ceil(std::min(h, Largest)))};
}

// Every key of the master table, in table order, typed as the unique field is.
bool readAllKeys(DatabaseConnection& db, const StoredSettings& project, ColumnKind kind,
                 QList<RecordKey>* keys, QString* error)
{
    DatabaseConnection::Selection rows =
        db.select(QStringLiteral("select * from ") + db.quoteName(project.MasterTable), {},
                  DatabaseConnection::Scroll::ForwardOnly, DatabaseConnection::Precision::Exact);
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

// Where the pages go: one PDF, or one PNG a page. Nothing is written over an existing file
// until a page has been drawn for it.
class SheetOutput {
public:
    SheetOutput(const BadgeBatchRequest& request, const SheetLayout& layout, bool singlePage)
        : m_request(request)
        , m_layout(layout)
        , m_singlePage(singlePage)
        , m_pdf(request.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        , m_render(renderOptions(RenderMode::Output, {}))
    {
    }

    // Opens the PDF's temporary file, so an output that cannot be written is known before any
    // record is linked; the file named on the command line is not touched.
    bool begin(QString* error)
    {
        if (!m_pdf)
            return true;
        m_file = std::make_unique<AtomicFile>(m_request.output);
        if (Status opened = m_file->open(); !opened) {
            *error = opened.error();
            return false;
        }
        return true;
    }

    // `pngName` is the file a PNG page goes to.
    bool addPage(const QList<SheetCard>& cards, const SheetOptions& options, const QString& pngName,
                 QString* error)
    {
        if (m_pdf) {
            if (m_pages == 0)
                startPdf();
            else
                m_writer->newPage();
            m_painter.save();
            setTwipsTransform(m_painter, m_writer->resolution(), m_writer->resolution());
            paintSheet(m_painter, m_layout, cards, options, m_render);
            m_painter.restore();
            ++m_pages;
            // The writer ignores a full disk; the file has kept the failure.
            if (m_file->failed()) {
                *error = m_file->status().error();
                return false;
            }
            return true;
        }
        const double dpi = m_request.dpi;
        QImage image(int(std::lround(twipsToPixels(m_layout.page.width(), dpi))),
                     int(std::lround(twipsToPixels(m_layout.page.height(), dpi))),
                     QImage::Format_RGB32);
        const int dotsPerMeter = int(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            setTwipsTransform(painter, dpi, dpi);
            paintSheet(painter, m_layout, cards, options, m_render);
        }
        const QString path = m_singlePage ? m_request.output : pngName;
        if (Status saved = saveImageAtomically(image, path, "PNG"); !saved) {
            *error = saved.error();
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
            m_file->cancel();
            return true;
        }
        m_painter.end();
        m_writer.reset();
        m_exactBox->close();
        if (Status written = m_file->commit(); !written) {
            *error = written.error();
            return false;
        }
        m_files << m_request.output;
        return true;
    }

    // "out.png" -> "out-0017-front.png" for a card, "out-0003.png" for the third sheet.
    QString pngName(int number, const QString& side = {}) const
    {
        QString base = m_request.output;
        base.chop(4);
        if (number > 0)
            base += QStringLiteral("-%1").arg(number, 4, 10, QLatin1Char('0'));
        if (!side.isEmpty())
            base += QLatin1Char('-') + side;
        return base + QStringLiteral(".png");
    }

    int pages() const { return m_pages; }
    QStringList files() const { return m_files; }

private:
    void startPdf()
    {
        const QSizeF points(twipsToPoints(m_layout.page.width()),
                            twipsToPoints(m_layout.page.height()));
        const QPageSize pageSize = m_layout.pageSize();
        m_exactBox =
            std::make_unique<ExactMediaBox>(m_file->device(), pageSize.sizePoints(), points);
        m_exactBox->open(QIODevice::WriteOnly);
        m_writer = std::make_unique<QPdfWriter>(m_exactBox.get());
        m_writer->setCreator(QStringLiteral("Vellumark"));
        m_writer->setTitle(QFileInfo(m_request.output).completeBaseName());
        m_writer->setPageSize(pageSize);
        m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
        m_writer->setResolution(1200);
        m_painter.begin(m_writer.get());
    }

    const BadgeBatchRequest& m_request;
    SheetLayout m_layout;
    bool m_singlePage;
    bool m_pdf;
    RenderOptions m_render;
    std::unique_ptr<AtomicFile> m_file;
    std::unique_ptr<ExactMediaBox> m_exactBox;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    int m_pages = 0;
    QStringList m_files;
};

// Both faces of one rendered record: Front is the side a one-sided run prints.
struct RecordSides {
    int number = 0; // the record's place among the keys, from 1; 0 for the unlinked badge
    BadgeSide front, back;
};

// Lays records on pages as they arrive, writing each page as soon as every card of it is known
// and forgetting a record once no page to come needs it, so memory stays flat however long the
// run.
class SheetWriter {
public:
    SheetWriter(SheetOutput& output, SheetLayout layout, SheetOptions options, QSizeF card,
                QStringList faceNames)
        : m_output(output)
        , m_layout(std::move(layout))
        , m_options(options)
        , m_card(card)
        , m_faceNames(std::move(faceNames))
    {
    }

    bool add(RecordSides record, QString* error)
    {
        m_records.push_back(std::move(record));
        ++m_count;
        return writeReadyPages(false, error);
    }

    bool finish(QString* error) { return writeReadyPages(true, error); }

private:
    // Beyond any real run: pages are cut as if more records were still to come.
    static constexpr int OpenEnded = 1 << 28;

    bool writeReadyPages(bool final, QString* error)
    {
        const SheetPlan plan(m_layout, m_options, final ? m_count : OpenEnded);
        while (m_page < plan.pageCount()) {
            const QList<PlacedCard> placed = plan.page(m_page);
            const int last = std::max_element(placed.begin(), placed.end(),
                                              [](const PlacedCard& a, const PlacedCard& b) {
                                                  return a.item < b.item;
                                              })
                                 ->item;
            if (last >= m_count)
                return true; // wait for the rest of this page
            QList<SheetCard> cards;
            for (const PlacedCard& card : placed) {
                const RecordSides& record = m_records.at(card.item - m_first);
                cards << SheetCard{
                    card.slot, card.face == CardFace::Front ? record.front : record.back, m_card};
            }
            QString png;
            if (m_layout.kind == SheetKind::Card) {
                const RecordSides& record = m_records.at(placed.first().item - m_first);
                png = m_output.pngName(record.number, m_faceNames.at(int(placed.first().face)));
            } else {
                png = m_output.pngName(m_page + 1);
            }
            if (!m_output.addPage(cards, m_options, png, error))
                return false;
            ++m_page;
            const QList<PlacedCard> next = plan.page(m_page);
            int keepFrom = m_count;
            for (const PlacedCard& card : next)
                keepFrom = std::min(keepFrom, card.item);
            while (m_first < keepFrom && !m_records.empty()) {
                m_records.pop_front();
                ++m_first;
            }
        }
        return true;
    }

    SheetOutput& m_output;
    SheetLayout m_layout;
    SheetOptions m_options;
    QSizeF m_card;
    QStringList m_faceNames;
    std::deque<RecordSides> m_records; // from record m_first on
    int m_first = 0;
    int m_count = 0;
    int m_page = 0;
};

// The badge and the keys of a run, read once before any thread starts.
struct BatchInput {
    StoredSettings project;
    BadgeSide front, back;
    QStringList missingLogos;
    // Where the badge file ended before its sides were whole, what of its companion was lost.
    QString endedEarly;
    QSizeF card;
    bool linkRecords = false;
    QStringList keys;           // as given or as the table holds them, for messages and names
    QList<RecordKey> tableKeys; // --all: typed as the unique field
    // --all: the keys more than one row holds, found once; each is listed once, and refused.
    std::optional<QHash<QString, qint64>> sharedKeys;
    QSize photoDecode, signDecode;
};

// Keeps the people never printed, or those whose badge changed since their last print.
Status selectByPrints(const BadgeBatchRequest& request, DatabaseConnection& db, BatchInput& input)
{
    if (!request.journal)
        return Status::failure(
            QStringLiteral("People can only be chosen by their prints with the issuance record"));
    const Result<QHash<QString, IssueSummary>> printed = request.journal->printedBefore(input.keys);
    if (!printed)
        return printed.status();
    const bool notPrinted = request.select == BadgeBatchRequest::Selection::NotPrinted;
    RecordLinker linker(db, input.project);
    PrintedChangeCheck check(input.project);
    QStringList keys;
    QList<RecordKey> tableKeys;
    for (qsizetype i = 0; i < input.keys.size(); ++i) {
        const QString& text = input.keys[i];
        const auto last = printed->constFind(text);
        bool wanted = last == printed->cend();
        if (!notPrinted) {
            // A person who can no longer be compared is taken: the run then says why.
            const Result<RecordKey> key =
                input.tableKeys.isEmpty() ? linker.keyFromText(text) : input.tableKeys[i];
            const Result<bool> changed =
                wanted || !key ? Result<bool>(false) : check.changed(linker, *key, *last);
            wanted = !wanted && (!changed || *changed);
        }
        if (!wanted)
            continue;
        keys << text;
        if (!input.tableKeys.isEmpty())
            tableKeys << input.tableKeys[i];
    }
    input.keys = keys;
    input.tableKeys = tableKeys;
    return {};
}

Result<BatchInput> readInput(const BadgeBatchRequest& request)
{
    BatchInput input;
    const Result<StoredSettings> read =
        ReadProjectFile(resolveFileName(request.projectFile), request.codePage);
    if (!read)
        return Status::failure(
            QStringLiteral("Cannot use the project %1: %2").arg(request.projectFile, read.error()));
    input.project = *read;
    useCodePagesOf(input.project);
    const StoredSettings& project = input.project;
    // A database named relatively lies beside the project file, not where the batch started.
    DatabaseConnection::setProjectFolder(
        QFileInfo(resolveFileName(request.projectFile)).absolutePath());

    const QString badgePath = badgeFilePath(project, request.badge);
    BadgeLayoutRead layout = openBadge(badgePath, project.ProjectName, project.DatabasePath,
                                       FieldTagRule::TableAndColumn)
                                 .read;
    if (layout.status == LoadStatus::CannotOpen)
        return Status::failure(unknownBadge(project, request.badge, layout.errorText));
    if (layout.status != LoadStatus::Loaded)
        return Status::failure(QStringLiteral("%1 (%2)").arg(layout.errorText, badgePath));
    if (!layout.endedEarly.isEmpty())
        input.endedEarly = earlyEndText(layout);
    if (const QString companion = companionText(layout); !companion.isEmpty())
        input.endedEarly += (input.endedEarly.isEmpty() ? QString() : QStringLiteral("\n")) +
                            companion;
    input.front = std::move(layout.front);
    input.back = std::move(layout.back);
    input.missingLogos = layout.missingLogos;
    input.card =
        cardSizeTwips(layout.orientation == 2 ? Orientation::Portrait : Orientation::Landscape);
    input.photoDecode = framePixels(input.front.imgPhoto, input.back.imgPhoto, request.dpi);
    input.signDecode = framePixels(input.front.imgSign, input.back.imgSign, request.dpi);

    input.keys = request.keys;
    input.linkRecords = request.allRecords || !input.keys.isEmpty();
    if (!input.linkRecords)
        return input;
    DatabaseConnection db;
    if (const Status fits = checkProjectDatabase(db, project); !fits)
        return fits;
    if (request.allRecords) {
        RecordLinker linker(db, project);
        QString why;
        QList<RecordKey> keys;
        if (!readAllKeys(db, project, linker.keyKind(), &keys, &why))
            return Status::failure(
                QStringLiteral("Cannot read the records of %1: %2").arg(project.MasterTable, why));
        const Result<QHash<QString, qint64>> shared = linker.sharedKeys();
        if (!shared)
            return Status::failure(QStringLiteral("Cannot read the records of %1: %2")
                                       .arg(project.MasterTable, shared.error()));
        input.sharedKeys = *shared;
        QSet<QString> listed;
        for (const RecordKey& key : std::as_const(keys)) {
            if (shared->contains(key.text())) {
                if (listed.contains(key.text()))
                    continue;
                listed.insert(key.text());
            }
            input.tableKeys << key;
            input.keys << key.text();
        }
    }
    if (request.select != BadgeBatchRequest::Selection::Everyone) {
        if (Status selected = selectByPrints(request, db, input); !selected)
            return selected;
    }
    return input;
}

// What each thread links records with: its own connection, as a connection belongs to the thread
// that opened it.
struct LinkingThread {
    DatabaseConnection db;
    std::unique_ptr<RecordLinker> linker;
    QString unusable; // why the database could not be opened here
};

// A check only needs to know the pictures are whole, not see them.
std::unique_ptr<LinkingThread> openLinking(const BatchInput& input, bool headersOnly = false)
{
    auto thread = std::make_unique<LinkingThread>();
    if (!thread->db.OpenProjectDatabase(input.project.DatabasePath)) {
        thread->unusable = cannotOpenDatabase(input.project.DatabasePath, thread->db.errorText());
        return thread;
    }
    thread->linker = std::make_unique<RecordLinker>(thread->db, input.project);
    if (input.sharedKeys)
        thread->linker->setSharedKeys(*input.sharedKeys);
    if (headersOnly)
        thread->linker->setPictureDecodeSize(PictureHeaderOnly, PictureHeaderOnly);
    else
        thread->linker->setPictureDecodeSize(input.photoDecode, input.signDecode);
    return thread;
}

LinkResult linkRecord(LinkingThread& thread, const BatchInput& input, int index)
{
    if (!thread.linker)
        return {LinkOutcome::Failed, thread.unusable, std::nullopt};
    const Result<RecordKey> key = input.tableKeys.isEmpty()
                                      ? thread.linker->keyFromText(input.keys[index])
                                      : Result<RecordKey>(input.tableKeys[index]);
    if (!key)
        return {LinkOutcome::Failed, key.error(), std::nullopt};
    return thread.linker->link(*key);
}

QString skipped(const QString& key, const LinkResult& link)
{
    return link.outcome == LinkOutcome::Rejected
               ? QStringLiteral("Record %1: Error in data linking (%2); skipped")
                     .arg(key, link.message)
               : QStringLiteral("Record %1: %2 Skipped.").arg(key, link.message);
}

int threadsFor(const BadgeBatchRequest& request)
{
    return request.jobs > 0 ? request.jobs : std::max(1, QThread::idealThreadCount());
}

// Records made ahead of the writer, per thread: enough to keep every core busy, few enough that
// their pictures take little memory.
constexpr int WindowPerThread = 8;

// A record linked and filled on a worker thread.
struct FilledRecord {
    LinkResult link; // without its record once filled
    BadgeSide front, back;
    QString fingerprint; // of what printed, for the issuance record
};

} // namespace

BadgeBatchResult renderBadgeBatch(const BadgeBatchRequest& request,
                                  const std::function<void(const QString&)>& report)
{
    BadgeBatchResult result;
    const SheetOutput* written = nullptr;
    auto unusable = [&](const QString& message) {
        report(message);
        result.unusable = true;
        if (written) { // PNG files written before the failure stay
            result.pages = written->pages();
            result.files = written->files();
        }
        return result;
    };

    const Result<BatchInput> read = readInput(request);
    if (!read)
        return unusable(read.error());
    const BatchInput& input = *read;
    // What was read whole is still rendered, but the run does not count as complete.
    if (!input.endedEarly.isEmpty())
        report(input.endedEarly);
    for (const QString& logo : input.missingLogos)
        report(QStringLiteral("The logo picture %1 could not be loaded.").arg(logo));

    using Sides = BadgeBatchRequest::Sides;
    const bool both = request.sides == Sides::Both;
    SheetOptions options;
    options.bothSides = both;
    options.duplex = both ? request.duplex : Duplex::None;
    options.cropMarks = request.cropMarks;
    options.offsetMm = request.offsetMm;
    options.testPrint = request.testPrint;
    const SheetLayout layout =
        request.sheet ? sheetLayout(*request.sheet, input.card) : cardSheet(input.card);
    const int records = input.linkRecords ? int(input.keys.size()) : 1;
    const bool singlePage = SheetPlan(layout, options, records).pageCount() == 1;

    SheetOutput output(request, layout, singlePage);
    QString why;
    if (!output.begin(&why))
        return unusable(why);
    written = &output;
    const QString frontName = QStringLiteral("front"), backName = QStringLiteral("back");
    SheetWriter writer(output, layout, options, input.card,
                       {request.sides == Sides::Back ? backName : frontName, backName});
    auto sidesOf = [&](int number, BadgeSide front, BadgeSide back) {
        if (request.sides == Sides::Back)
            std::swap(front, back);
        return RecordSides{number, std::move(front), std::move(back)};
    };

    bool allRendered = input.endedEarly.isEmpty();
    bool stopped = false;
    // What goes into the issuance record once the output is written.
    const bool recording = request.journal && !request.testPrint && input.linkRecords;
    if (recording) {
        if (Status ready = request.journal->ready(); !ready)
            return unusable(ready.error());
    }
    PrintJob job;
    job.output = QFileInfo(request.output).absoluteFilePath();
    job.again = request.again;
    const QString layoutName = recordedLayoutName(request.badge);
    const QString sidesName =
        printedSidesName(request.sides != Sides::Back, request.sides != Sides::Front);
    QList<const BadgeSide*> printedLayouts;
    if (request.sides != Sides::Back)
        printedLayouts << &input.front;
    if (request.sides != Sides::Front)
        printedLayouts << &input.back;
    if (!input.linkRecords) {
        stopped = !writer.add(sidesOf(0, input.front, input.back), &why);
    } else {
        QElapsedTimer sinceReport;
        sinceReport.start();
        OrderedWork<LinkingThread, FilledRecord> work;
        work.makeState = [&] {
            return openLinking(input);
        };
        work.make = [&](LinkingThread& thread, int index) {
            FilledRecord filled;
            filled.link = linkRecord(thread, input, index);
            if (filled.link.record) {
                filled.front = filledSide(input.front, *filled.link.record);
                filled.back = filledSide(input.back, *filled.link.record);
                if (recording)
                    filled.fingerprint = printedFingerprint(printedLayouts, *filled.link.record);
                filled.link.record.reset();
            }
            return filled;
        };
        work.consume = [&](int index, FilledRecord&& filled) {
            // Without the server no further record links: stop, and keep the old output.
            if (filled.link.outcome == LinkOutcome::ConnectionLost) {
                why = filled.link.message;
                return false;
            }
            // A record that does not link is skipped whole: no page shows part of it.
            if (filled.link.outcome != LinkOutcome::Linked) {
                report(skipped(input.keys[index], filled.link));
                allRendered = false;
                return true;
            }
            if (!writer.add(sidesOf(index + 1, std::move(filled.front), std::move(filled.back)),
                            &why))
                return false;
            if (recording)
                job.badges << PrintedBadge{layoutName, sidesName, input.keys[index],
                                           filled.fingerprint};
            ++result.records;
            if (sinceReport.elapsed() >= 1000) {
                report(QStringLiteral("%1 of %2 badges rendered")
                           .arg(index + 1)
                           .arg(input.keys.size()));
                sinceReport.restart();
            }
            return true;
        };
        stopped = !work.run(records, threadsFor(request), WindowPerThread * threadsFor(request));
    }
    if (stopped || !writer.finish(&why))
        return unusable(why);
    if (!output.finish(&why))
        return unusable(why);
    result.pages = output.pages();
    result.files = output.files();
    if (result.pages == 0)
        report(QStringLiteral("No badge was rendered, so nothing was written."));
    result.ok = allRendered && result.pages > 0;
    if (recording && result.pages > 0) {
        if (Status recorded = request.journal->record(job); !recorded) {
            report(QStringLiteral("The badges were written, but not recorded as issued: %1")
                       .arg(recorded.error()));
            result.ok = false;
        } else {
            result.recorded = true;
        }
    }
    return result;
}

BadgeBatchResult
checkBadgeBatch(const BadgeBatchRequest& request, const std::function<void(const QString&)>& report,
                const std::function<void(const QString& key, const QString& problem)>& problem)
{
    BadgeBatchResult result;
    const Result<BatchInput> read = readInput(request);
    if (!read) {
        report(read.error());
        result.unusable = true;
        return result;
    }
    const BatchInput& input = *read;
    using Sides = BadgeBatchRequest::Sides;
    QList<QPair<QString, const BadgeSide*>> sides;
    if (request.sides != Sides::Back)
        sides << qMakePair(QStringLiteral("front"), &input.front);
    if (request.sides != Sides::Front)
        sides << qMakePair(QStringLiteral("back"), &input.back);

    auto found = [&](const QString& key, const QString& text) {
        QString line = text;
        line.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        problem(key, line);
        ++result.problems;
    };
    auto sideLines = [&](const std::optional<LinkedRecord>& record) {
        QStringList lines;
        for (const auto& [name, side] : sides) {
            for (const QString& line : sideProblems(*side, record, input.card))
                lines << name + QStringLiteral(": ") + line;
            // Codes are read back at the resolution the run renders at.
            for (const QString& line : barcodeProblems(*side, record, request.dpi))
                lines << name + QStringLiteral(": ") + line;
        }
        return lines;
    };

    if (!input.endedEarly.isEmpty())
        found(EveryRecordKey, input.endedEarly);
    for (const auto& [name, side] : sides)
        for (const QString& line : layoutProblems(*side))
            found(EveryRecordKey, name + QStringLiteral(": ") + line);
    if (!input.linkRecords) {
        for (const QString& line : sideLines(std::nullopt))
            found(EveryRecordKey, line);
        result.ok = result.problems == 0;
        return result;
    }

    OrderedWork<LinkingThread, QStringList> work;
    work.makeState = [&] {
        return openLinking(input, true);
    };
    QString lost;
    work.make = [&](LinkingThread& thread, int index) {
        const LinkResult link = linkRecord(thread, input, index);
        if (link.outcome == LinkOutcome::ConnectionLost)
            return QStringList{QString(), link.message};
        if (!link.record)
            return QStringList{link.outcome == LinkOutcome::Rejected
                                   ? QStringLiteral("Error in data linking (%1)").arg(link.message)
                                   : link.message};
        QStringList lines = sideLines(link.record);
        const std::optional<QSizeF> frame =
            printedPhotoFrame(*sides.first().second, sides.size() > 1 ? sides[1].second : nullptr);
        if (frame && !link.record->photo.isNull())
            lines << photoProblems(QStringLiteral("record \u201c%1\u201d").arg(input.keys[index]),
                                   link.record->photoPath, *frame);
        return lines;
    };
    work.consume = [&](int index, QStringList&& lines) {
        if (lines.size() == 2 && lines.first().isNull()) {
            lost = lines.last();
            return false;
        }
        for (const QString& line : std::as_const(lines))
            found(input.keys[index], line);
        ++result.records;
        return true;
    };
    work.run(int(input.keys.size()), threadsFor(request), WindowPerThread * threadsFor(request));
    if (!lost.isEmpty()) {
        report(lost);
        result.unusable = true;
        return result;
    }
    result.ok = result.problems == 0;
    return result;
}

QString escapedCheckKey(const QString& key)
{
    QString escaped;
    escaped.reserve(key.size());
    for (const QChar c : key) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace vm
