// Invariant: whatever the program writes (project, badge, scratch files, a run's PDF and PNG,
// a print to a PDF file, the demo, the settings) is written whole or not at all: on a full disk the
// old file stays byte for byte, no temporary file is left, and the message names the file and says
// the disk is full. Tried on a real small file system where one can be mounted, and everywhere
// through a disk that fails after some bytes.
#include "badge/BadgeFile.h"
#include "common/AtomicFile.h"
#include "common/SaveFile.h"
#include "common/SettingsFile.h"
#include "project/ProjectFile.h"
#include "project/ProjectSaving.h"
#include "render/BadgeBatch.h"
#include "render/BadgeRenderer.h"
#include "render/SheetPrinting.h"
#include "support/AllKindsBadge.h"
#include "support/DemoWindow.h"
#include "support/FileBytes.h"
#include "support/Skip.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace vm;
using namespace vm::test;

namespace {

// A writer tried against the disk: writes `target` in the folder and returns what the operator
// is told. A writer without a target only makes new files.
struct Writer {
    const char* name;
    QString target;
    std::function<QString(const QString& folder)> write;
};

// Fills the file system of `folder` to its last byte.
bool fill(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/fill")).constData(),
                          O_WRONLY | O_CREAT, 0644);
    if (fd < 0)
        return false;
    for (const qsizetype size : {4096, 1}) {
        const QByteArray block(size, '\0');
        while (::write(fd, block.constData(), size_t(size)) > 0) {
        }
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full;
}

} // namespace

class tst_FullDisk : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyWriterKeepsTheOldFile_data();
    void everyWriterKeepsTheOldFile();

private:
    QList<Writer> writers() const;

    QTemporaryDir m_dir;
    QString m_project;
    StoredSettings m_settings;
    const BadgeLayout m_badge = allKindsBadge(QString());
};

void tst_FullDisk::initTestCase()
{
    DemoOptions options;
    options.people = 3;
    m_project = demoProject(m_dir.filePath(QStringLiteral("demo")), options);
    QVERIFY(!m_project.isEmpty());
    const Result<StoredSettings> settings = ReadProjectFile(m_project);
    QVERIFY(settings.ok());
    m_settings = *settings;
}

QList<Writer> tst_FullDisk::writers() const
{
    auto batch = [this](const QString& output) {
        return [this, output](const QString& folder) {
            BadgeBatchRequest request;
            request.projectFile = m_project;
            request.badge = QStringLiteral("Staff");
            request.keys = {QStringLiteral("1")};
            request.sides = BadgeBatchRequest::Sides::Front;
            request.output = folder + QLatin1Char('/') + output;
            QStringList said;
            const BadgeBatchResult result =
                renderBadgeBatch(request, [&](const QString& line) { said << line; });
            return result.ok ? QString() : said.join(QLatin1Char('\n'));
        };
    };
    auto failure = [](const Status& s) { return s.error(); };
    return {
        {"project file, as Ctrl+S saves it", QStringLiteral("Demo.Prj"),
         [this](const QString& folder) {
             ScriptedDialogs dialogs;
             saveProjectFile(dialogs, nullptr, m_settings, folder + QStringLiteral("/Demo.Prj"));
             return dialogs.messages.isEmpty() ? QString()
                                               : dialogs.messages.constLast().detail;
         }},
        {"project file in a code page, and its companion", QStringLiteral("Demo.Prj"),
         [=, this](const QString& folder) {
             StoredSettings utf8 = m_settings;
             utf8.CodePage = TextCodePage::utf8();
             return failure(WriteProjectFile(utf8, folder + QStringLiteral("/Demo.Prj")));
         }},
        {"badge file", QStringLiteral("Staff.Lyt"),
         [=, this](const QString& folder) {
             return failure(writeBadgeFile(folder + QStringLiteral("/Staff.Lyt"), m_badge));
         }},
        {"badge file assembled from the scratch files", QStringLiteral("Staff.Lyt"),
         [=](const QString& folder) {
             return failure(assembleBadgeFile(folder, folder + QStringLiteral("/Staff.Lyt")));
         }},
        {"scratch file", QStringLiteral("front.tmp"),
         [=, this](const QString& folder) {
             return failure(saveDisplayedSide(folder, BadgeSideId::Front, m_badge.front, true));
         }},
        {"a run's PDF", QStringLiteral("out.pdf"), batch(QStringLiteral("out.pdf"))},
        {"a run's PNG", QStringLiteral("out.png"), batch(QStringLiteral("out.png"))},
        {"a print to a PDF file", QStringLiteral("print.pdf"),
         [=, this](const QString& folder) {
             QPrinter printer(QPrinter::HighResolution);
             printer.setOutputFormat(QPrinter::PdfFormat);
             printer.setOutputFileName(folder + QStringLiteral("/print.pdf"));
             return failure(paintOnPrinter(
                 printer, [&](QPainter& painter, QPagedPaintDevice&, int resolution) {
                     renderCard(painter, m_badge.front, resolution, resolution,
                                renderOptions(RenderMode::Output, {}));
                     return Status();
                 }));
         }},
        {"the demo", {}, [](const QString& folder) {
             QString error;
             DemoOptions options;
             options.people = 3;
             createDemoProject(folder + QStringLiteral("/new-demo"), options, &error);
             return error;
         }},
    };
}

void tst_FullDisk::everyWriterKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("mounted"); // a real small file system; else a simulated fault
    QTest::addColumn<qint64>("after");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("words");
    QTest::newRow("full tmpfs") << true << qint64(0) << 0 << "disk is full";
    QTest::newRow("disk full at once") << false << qint64(0) << ENOSPC << "disk is full";
    QTest::newRow("quota used up after 200 bytes")
        << false << qint64(200) << EDQUOT << "disk quota is used up";
}

void tst_FullDisk::everyWriterKeepsTheOldFile()
{
    QFETCH(bool, mounted);
    QFETCH(qint64, after);
    QFETCH(int, error);
    QFETCH(QString, words);
    QTemporaryDir dir;
    const QString folder = dir.path();
    if (mounted && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                           "size=300k") != 0)
        VM_SKIP(QStringLiteral("cannot mount a small file system here (%1); needs root")
                    .arg(QString::fromLocal8Bit(strerror(errno))));
    const auto unmount = qScopeGuard([&] {
        simulateWriteFault(std::nullopt);
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    });

    // Every old file, and the scratch files a badge is assembled from.
    for (const Writer& writer : writers()) {
        if (!writer.target.isEmpty())
            QVERIFY(saveFileAtomically(folder + QLatin1Char('/') + writer.target,
                                       "old " + writer.target.toUtf8())
                        .ok());
    }
    QVERIFY(saveDisplayedSide(folder, BadgeSideId::Back, m_badge.back, false).ok());
    QVERIFY(writeScratchFile(folder, ScratchFile::General,
                             generalSectionLines(m_badge.projectName, m_badge.databasePath,
                                                 m_badge.orientation))
                .ok());
    const QString settingsFile = folder + QStringLiteral("/Vellumark.conf");
    QSettings(settingsFile, checkedSettingsFormat()).setValue(QStringLiteral("PrintPage/zoom"), 1);
    QMap<QString, QByteArray> before;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        before[name] = fileBytes(folder + QLatin1Char('/') + name);
    if (mounted)
        QVERIFY(fill(folder));
    else
        simulateWriteFault(WriteFault{after, error});

    for (const Writer& writer : writers()) {
        const QString said = writer.write(folder);
        QVERIFY2(said.contains(words),
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(writer.name), said)));
        QVERIFY2(writer.target.isEmpty() || said.contains(writer.target),
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(writer.name), said)));
        QStringList now = QDir(folder).entryList(QDir::Files);
        now.removeOne(QStringLiteral("fill"));
        now.sort();
        QCOMPARE(now, before.keys());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(fileBytes(folder + QLatin1Char('/') + it.key()) == it.value(),
                     qPrintable(QStringLiteral("%1 changed %2")
                                    .arg(QLatin1String(writer.name), it.key())));
    }
    // The settings file is written by Qt's own save file, which no simulated fault reaches. It
    // lost the file when the disk had room for part of it: one page is left free.
    if (mounted) {
        QVERIFY(QFile::resize(folder + QStringLiteral("/fill"),
                              QFileInfo(folder + QStringLiteral("/fill")).size() - 4096));
        QSettings settings(settingsFile, checkedSettingsFormat());
        settings.setValue(QStringLiteral("PrinterOffsets/Office/x"), QString(8000, u'x'));
        settings.sync();
        QCOMPARE(settings.status(), QSettings::AccessError);
        QCOMPARE(fileBytes(settingsFile), before.value(QStringLiteral("Vellumark.conf")));
    }
}

QTEST_MAIN(tst_FullDisk)
#include "tst_FullDisk.moc"
