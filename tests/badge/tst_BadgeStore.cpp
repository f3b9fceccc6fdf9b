// Invariant: what the badge file cannot hold survives a save and an open beside it in the
// companion file, which is written with the badge (both or neither), copied with it, and never
// changes the badge file; a companion that no longer fits its badge file loses only the entries
// that no longer match, and the operator is told which. Only one station saves into a badge
// folder at a time.
#include "badge/BadgeCompanion.h"
#include "badge/BadgeStore.h"
#include "common/AtomicFile.h"
#include "common/QuotedLines.h"
#include "support/AllKindsBadge.h"
#include "support/FileBytes.h"
#include "support/StatusChecks.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <iostream>
#include <string>

using namespace vm;
using namespace vm::test;

namespace {

OpenedBadge open(const QString& path, const QString& scratch = {})
{
    return openBadge(path, QStringLiteral("Staff"), QStringLiteral("/srv/cards/staff.sqlite"),
                     FieldTagRule::TableAndColumn, scratch);
}

// The all-kinds badge with something new on both sides: a barcode, rotations, fitted text, a
// field's format and condition, a changed order.
// The badge as a load gives it back: with its logos.
BadgeLayout legacyBadge(const QString& logo)
{
    BadgeLayout badge = allKindsBadge(logo);
    loadLogoPictures(badge.front);
    loadLogoPictures(badge.back);
    return badge;
}

BadgeLayout extendedBadge(const QString& logo)
{
    BadgeLayout badge = legacyBadge(logo);
    Field& key = badge.front.lblField.at(2);
    key.barcode = Barcode{Symbology::QrCode, false, true, 3, 28.8f};
    key.rotation.degrees = 90;
    badge.front.Label1.at(1).rotation.degrees = 270;
    badge.back.Image1.at(1).rotation.degrees = 180;
    Field& name = badge.front.lblField.at(1);
    name.fit = TextFit{FitMode::WrapAndShrink, 7, 2, false, HorizontalAlign::Centre,
                       VerticalAlign::Bottom};
    name.format.letterCase = LetterCase::Upper;
    name.format.prefix = QStringLiteral("Dr. ");
    name.format.hideWhen = {ConditionTest::NotEmpty, QStringLiteral("Employee.Left"), {}};
    badge.back.Label1.at(1).fit.mode = FitMode::Wrap;
    badge.front.sendToBack({ElementKind::Field, 1});
    badge.back.bringToFront({ElementKind::Shape, 1});
    return badge;
}

} // namespace

class tst_BadgeStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_badge = m_dir->filePath(QStringLiteral("Staff.Lyt"));
        m_logo = m_dir->filePath(QStringLiteral("logo.png"));
        QImage(8, 8, QImage::Format_RGB32).save(m_logo);
    }

    void roundTripKeepsBothFilesByteForByte()
    {
        const BadgeLayout badge = extendedBadge(m_logo);
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, badge, false));
        const QByteArray legacy = fileBytes(m_badge), companion = fileBytes(m_badge + ".json");
        QVERIFY(companion.contains("\"vellumark-badge\""));
        // The badge file is what it would be without the new properties.
        QCOMPARE(legacy, quotedLinesFileBytes(m_badge, encodedBadgeFile(legacyBadge(m_logo)))
                             .value());

        const BadgeLayoutRead read = open(m_badge).read;
        QCOMPARE(read.status, LoadStatus::Loaded);
        QVERIFY2(companionText(read).isEmpty(), qPrintable(companionText(read)));
        QVERIFY(read.front == badge.front);
        QVERIFY(read.back == badge.back);

        BadgeLayout again = badge;
        again.front = read.front;
        again.back = read.back;
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, again, false));
        QCOMPARE(fileBytes(m_badge), legacy);
        QCOMPARE(fileBytes(m_badge + ".json"), companion);
    }

    void legacyBadgeHasNoCompanion()
    {
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false));
        QVERIFY(QFile::exists(m_badge + ".json"));
        // Once nothing new is used the companion goes, and the badge reads as it always did.
        const BadgeLayout legacy = legacyBadge(m_logo);
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, legacy, false));
        QVERIFY(!QFile::exists(m_badge + ".json"));
        const OpenedBadge opened = open(m_badge);
        QVERIFY(opened.read.front == legacy.front);
        QVERIFY(opened.read.front.hasLoadOrder());
        // A back saved blank carries nothing into the companion either.
        BadgeLayout blankBack = legacy;
        blankBack.back.bringToFront({ElementKind::Shape, 1});
        QVERIFY(!companionDocument(blankBack.front, blankBack.back, true));
    }

    void changedBadgeFileDropsOnlyWhatNoLongerMatches()
    {
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false));
        // Another program edits the badge file: the front's second field now shows another
        // column, the first comment says something else.
        BadgeLayout edited = legacyBadge(m_logo);
        edited.front.lblField.at(2).Caption = QStringLiteral("<Employee.LastName>");
        edited.front.Label1.at(1).Caption = QStringLiteral("Guest");
        VM_VERIFY_OK(saveQuotedLinesFile(m_badge, encodedBadgeFile(edited)));

        const BadgeLayoutRead read = open(m_badge).read;
        QCOMPARE(read.status, LoadStatus::Loaded);
        const Field& field = read.front.lblField.at(2);
        QVERIFY(!field.barcode);
        QCOMPARE(field.rotation.degrees, 0);
        QCOMPARE(read.front.Label1.at(1).rotation.degrees, 0);
        // What still matches is kept.
        QCOMPARE(read.back.Image1.at(1).rotation.degrees, 180);
        QCOMPARE(read.back.stackingOrder().last(), (ElementRef{ElementKind::Shape, 1}));
        const QString told = companionText(read);
        QVERIFY2(told.contains(QStringLiteral("field 2 \"<Dept.Name>\" on the front lost its "
                                              "barcode, rotation")),
                 qPrintable(told));
        QVERIFY(told.contains(QStringLiteral("comment 1 \"ACME Corp: Staff, 2024\" on the front "
                                             "lost its rotation")));
        QVERIFY(told.contains(QStringLiteral("comment 1 \"ACME Corp: Staff, 2024\" on the front "
                                             "lost its place in the stacking order")));
        QCOMPARE(read.front.stackingOrder().first(), (ElementRef{ElementKind::Field, 1}));
    }

    void unusableCompanionLeavesTheBadgeAsStored_data()
    {
        QTest::addColumn<QByteArray>("companion");
        QTest::addColumn<QString>("told");
        QTest::newRow("garbled") << QByteArray("{\"format\": \"vellumark-badge\", ")
                                 << QStringLiteral("not a badge companion file");
        QTest::newRow("newer") << QByteArray("{\"format\":\"vellumark-badge\",\"version\":9}")
                               << QStringLiteral("newer version");
        QTest::newRow("bad value")
            << QByteArray("{\"format\":\"vellumark-badge\",\"version\":1,\"front\":{\"elements\":"
                          "[{\"kind\":\"field\",\"index\":1,\"check\":\"<Employee.FirstName>\","
                          "\"rotation\":45,\"barcode\":{\"symbology\":\"qr\","
                          "\"errorCorrection\":7}}]}}")
            << QStringLiteral("field 1 \"<Employee.FirstName>\" on the front lost its rotation "
                              "(not a right angle), barcode (error correction level 7 out of "
                              "range)");
    }

    void unusableCompanionLeavesTheBadgeAsStored()
    {
        QFETCH(QByteArray, companion);
        QFETCH(QString, told);
        const BadgeLayout legacy = legacyBadge(m_logo);
        VM_VERIFY_OK(writeBadgeFile(m_badge, legacy));
        QFile file(m_badge + ".json");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(companion);
        file.close();
        const BadgeLayoutRead read = open(m_badge).read;
        QCOMPARE(read.status, LoadStatus::Loaded);
        QVERIFY(read.front == legacy.front);
        QVERIFY2(companionText(read).contains(told), qPrintable(companionText(read)));
    }

    void failedWriteKeepsBothOldFiles()
    {
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false));
        const QByteArray legacy = fileBytes(m_badge), companion = fileBytes(m_badge + ".json");
        BadgeLayout changed = extendedBadge(m_logo);
        changed.front.lblField.at(2).barcode->symbology = Symbology::Aztec;
        changed.front.Label1.at(2).Caption = QStringLiteral("Contractor");
        simulateWriteFault(WriteFault{100, 0});
        const Status saved = saveBadge(m_dir->path(), m_badge, changed, false);
        simulateWriteFault(std::nullopt);
        QVERIFY(!saved);
        QCOMPARE(fileBytes(m_badge), legacy);
        QCOMPARE(fileBytes(m_badge + ".json"), companion);
    }

    void copyTakesTheCompanionAlong()
    {
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false));
        const QString copy = m_dir->filePath(QStringLiteral("Adopted.Lyt"));
        VM_VERIFY_OK(writeBadgeCopy(m_badge, copy, encodedBadgeFile(legacyBadge(m_logo))));
        QCOMPARE(fileBytes(copy + ".json"), fileBytes(m_badge + ".json"));
        QVERIFY(open(copy).read.front == extendedBadge(m_logo).front);
    }

    // A second process holds the folder's lock, as another station saving would.
    void anotherStationSavingIsNamedAndNothingWritten()
    {
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, legacyBadge(m_logo), false));
        const QByteArray before = fileBytes(m_badge);
        const QByteArray scratch = fileBytes(m_dir->filePath(QStringLiteral("front.tmp")));
        QProcess station;
        station.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--hold-lock"), m_dir->path()});
        QVERIFY(station.waitForReadyRead(10000));
        const qint64 pid = station.processId();
        QCOMPARE(station.readLine().trimmed(), QByteArray("locked"));

        const Status saved = saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false);
        const OpenedBadge opened = open(m_badge, m_dir->path());
        station.closeWriteChannel();
        QVERIFY(station.waitForFinished(10000));

        QVERIFY(!saved);
        QVERIFY2(saved.error().contains(QSysInfo::machineHostName()) &&
                     saved.error().contains(QString::number(pid)),
                 qPrintable(saved.error()));
        QVERIFY(!opened.scratchWritten);
        QCOMPARE(fileBytes(m_badge), before);
        QVERIFY(!QFile::exists(m_badge + ".json"));
        QCOMPARE(fileBytes(m_dir->filePath(QStringLiteral("front.tmp"))), scratch);
        // Once it is done, saving works again.
        VM_VERIFY_OK(saveBadge(m_dir->path(), m_badge, extendedBadge(m_logo), false));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_badge, m_logo;
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--hold-lock") {
        QCoreApplication app(argc, argv);
        BadgeFolderLock lock(QString::fromLocal8Bit(argv[2]));
        if (!lock.acquire())
            return 1;
        std::cout << "locked" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    tst_BadgeStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_BadgeStore.moc"
