// Invariant: every text the writers produce decodes to the same texts, and files from older
// versions (8-bit code page, LF line ends, fields spanning lines) decode as their original reader
// did; a number reads as its leading decimal number whatever follows and never overflows its type.
// A chosen code page reads and writes a file's own bytes back exactly and names the line of a
// byte or character it does not have. Work spread over threads reaches its one writer in order,
// each item once, never far ahead. A save clears only what an interrupted save of that file left
// behind; the settings file reads and writes as Qt's own INI files.
#include "common/LegacyNumbers.h"
#include "common/OrderedWork.h"
#include "common/QuotedLines.h"
#include "common/SaveFile.h"
#include "common/SettingsFile.h"
#include "common/TextCodePage.h"
#include "support/StatusChecks.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cfloat>

#include <sys/file.h>

using namespace vm;

class tst_Common : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesQuotedCrLfLinesAndDecodesThemBack();
    void decodedViewsLiveAsLongAsACopy();
    void decodesLikeTheOriginalReader_data();
    void decodesLikeTheOriginalReader();
    void codePagesKeepTheFilesOwnBytes_data();
    void codePagesKeepTheFilesOwnBytes();
    void whatACodePageLacksIsNamedWithItsLine_data();
    void whatACodePageLacksIsNamedWithItsLine();
    void readsTheLeadingNumber_data();
    void readsTheLeadingNumber();
    void orderedWorkReachesTheWriterInOrder_data();
    void orderedWorkReachesTheWriterInOrder();
    void aSaveRemovesOnlyItsOwnLeftovers();
    void settingsReadAndWriteAsQtsOwnIniFiles();
};

void tst_Common::encodesQuotedCrLfLinesAndDecodesThemBack()
{
    const QStringList texts = {QStringLiteral("  a, b: c"), QString(),
                               QStringLiteral("two\r\nlines"), QStringLiteral("é")};
    const QByteArray bytes = encodeQuotedLines(texts);
    QCOMPARE(bytes, QByteArray("\"  a, b: c\"\r\n\"\"\r\n\"two\r\nlines\"\r\n\"\xc3\xa9\"\r\n"));
    QCOMPARE(decodeQuotedLines(bytes), texts);

    // An unpaired surrogate is written as "?", as files always had it, and spoils no other line.
    QuotedLinesBuilder out;
    out.add(QStringView(u"a\xD800"
                        u"b"));
    out.add(QLatin1StringView("key:"), QStringView(u"\xDC00"));
    out.add(QStringView(u"é"));
    out.add(QLatin1StringView("n:"), QLatin1StringView("12"));
    out.repeatLastLine();
    QCOMPARE(out.take(),
             QByteArray("\"a?b\"\r\n\"key:?\"\r\n\"\xc3\xa9\"\r\n\"n:12\"\r\n\"n:12\"\r\n"));
}

void tst_Common::decodedViewsLiveAsLongAsACopy()
{
    DecodedLines copy;
    {
        const DecodedLines lines(QByteArray("\"first\"\r\n\"Z\xfcrich\"\r\nplain\r\n"));
        copy = lines;
    }
    QCOMPARE(copy.size(), 3);
    QCOMPARE(copy[1], QStringLiteral("Zürich"));
    QCOMPARE(copy.toStringList(), (QStringList{"first", QStringLiteral("Zürich"), "plain"}));
    QVERIFY(DecodedLines(QByteArray("\r\n\r\n")).isEmpty());
}

void tst_Common::decodesLikeTheOriginalReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    const auto row = [](const char* name, const QByteArray& bytes, const QStringList& fields) {
        QTest::newRow(name) << bytes << fields;
    };
    row("LF ends, no final line end", "\"a\"\n\"b\"", {"a", "b"});
    row("trailing blank lines", "\"a\"\r\n\r\n\r\n", {"a"});
    row("comma after quote", "\"a\",\"b\"\r\n", {"a", "b"});
    row("junk after quote", "\"a\"xyz\r\n\"b\"\r\n", {"a", "b"});
    row("unquoted line", "plain, text\r\n", {"plain, text"});
    row("unterminated", "\"a\"\r\n\"open\r\nrest", {"a", "open\r\nrest"});
    row("CR ends", "\"a\"\r\"b\"\rplain\r\"c\"", {"a", "b", "plain", "c"});
    row("blanks before a quote, empty fields between", "  \"a\"\r\n\"\"\r\n\r\n\"b\"\r\n",
        {"a", "", "", "b"});
    row("comma inside quotes, CR LF after a comma", "\"a,b\", \"c\"\r\n\"d\"", {"a,b", "c", "d"});
    row("windows-1252", "\"Z\xfcrich \x80\"\r\n", {QStringLiteral("Zürich €")});
}

void tst_Common::decodesLikeTheOriginalReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QCOMPARE(decodeQuotedLines(bytes), fields);
}

namespace {

// A badge line as another system wrote it: its name in that code page's bytes.
QByteArray captionLine(const QByteArray& name)
{
    return QByteArray("\"Caption:") + name + QByteArray("\"\r\n");
}

} // namespace

void tst_Common::codePagesKeepTheFilesOwnBytes_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed"); // the same text as the keyboard gives it
    QTest::newRow("cp1251") << "cp1251" << captionLine("\xc8\xe2\xe0\xed\xee\xe2 \xcf\xb8\xf2\xf0")
                            << QStringLiteral("Caption:Иванов Пётр") << QString();
    QTest::newRow("cp1256") << "CP1256" << captionLine("\xe3\xcd\xe3\xcf \xda\xe1\xed")
                            << QStringLiteral("Caption:محمد علي") << QString();
    QTest::newRow("cp1253") << "windows-1253" << captionLine("\xc3\xe9\xfe\xf1\xe3\xef\xf2")
                            << QStringLiteral("Caption:Γιώργος") << QString();
    // Windows-1258 has "ê" and a combining dot below, but no "ệ".
    QTest::newRow("cp1258") << "1258" << captionLine("Vi\xea\xf2t")
                            << QStringLiteral("Caption:Vi\u00ea\u0323t")
                            << QStringLiteral("Caption:Vi\u1ec7t");
    QTest::newRow("utf-8") << "utf8" << captionLine("\xd0\x98\xd0\xb2")
                           << QStringLiteral("Caption:Ив") << QString();
}

void tst_Common::codePagesKeepTheFilesOwnBytes()
{
    QFETCH(QString, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, typed);
    const std::optional<TextCodePage> chosen = TextCodePage::named(codePage);
    QVERIFY(chosen);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Badge.Lyt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const Result<DecodedLines> read = readQuotedLinesFile(path, *chosen);
    QVERIFY2(read, qPrintable(read.error()));
    QCOMPARE(read->toStringList(), QStringList{text});

    VM_VERIFY_OK(saveQuotedLinesFile(path, encodeQuotedLines(read->toStringList()), *chosen));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    if (!typed.isEmpty())
        QCOMPARE(encodeFromUtf8(encodeQuotedLines({typed}), *chosen, path).value(), bytes);
}

void tst_Common::whatACodePageLacksIsNamedWithItsLine_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QByteArray>("bytes"); // read, when not empty
    QTest::addColumn<QString>("text");     // else written
    QTest::addColumn<QStringList>("named");
    const QByteArray two = captionLine("first") + captionLine("second");
    // The converters take 0x98 of Windows-1251 for a control character without complaint.
    QTest::newRow("0x98 in cp1251") << "cp1251" << two + captionLine("\xc8\x98") << QString()
                                    << QStringList{"line 3", "0x98", "Windows-1251"};
    QTest::newRow("0xd2 in cp1253") << "cp1253" << captionLine("\xc3") + captionLine("\xd2")
                                    << QString() << QStringList{"line 2", "0xd2", "Greek"};
    QTest::newRow("0xdb in cp874") << "cp874" << captionLine("\xdb") << QString()
                                   << QStringList{"line 1", "0xdb"};
    QTest::newRow("cp1251 bytes as UTF-8")
        << "utf-8" << two + captionLine("\xc8\xe2") << QString()
        << QStringList{"line 3", "not valid UTF-8"};
    QTest::newRow("Chinese in cp1251")
        << "cp1251" << QByteArray() << QStringLiteral("Иван\r\n王") << QStringList{"line 2", "王"};
    QTest::newRow("Cyrillic in cp1256")
        << "cp1256" << QByteArray() << QStringLiteral("محمد Ив") << QStringList{"line 1", "И"};
}

void tst_Common::whatACodePageLacksIsNamedWithItsLine()
{
    QFETCH(QString, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QStringList, named);
    const TextCodePage chosen = TextCodePage::named(codePage).value_or(TextCodePage());
    QVERIFY(chosen.isChosen());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Staff.Lyt"));
    const QByteArray before("\"kept\"\r\n");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes.isEmpty() ? before : bytes);
    }
    const Status status =
        bytes.isEmpty() ? saveQuotedLinesFile(path, text.toUtf8(), chosen)
                        : readQuotedLinesFile(path, chosen).status();
    QVERIFY(!status.ok());
    for (const QString& part : named << QStringLiteral("Staff.Lyt"))
        QVERIFY2(status.error().contains(part), qPrintable(status.error()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes.isEmpty() ? before : bytes); // a refused write leaves it
    // Without a chosen code page, files read as they always did.
    if (!bytes.isEmpty())
        QVERIFY(readQuotedLinesFile(path, TextCodePage()));
}

void tst_Common::readsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("int16");
    QTest::newRow("half to even") << "2.5" << 2.5 << 2;
    QTest::newRow("blanks, sign, trailing text") << " \t-12.5abc" << -12.5 << -12;
    QTest::newRow("second point, exponent") << "1.5.6e5" << 1.5 << 2;
    QTest::newRow("not a number") << "- 5" << 0.0 << 0;
    QTest::newRow("beyond 16 bits") << "-70000" << -70000.0 << -32768;
    QTest::newRow("beyond double") << QString(400, QLatin1Char('9')) << DBL_MAX << 32767;
}

void tst_Common::readsTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(int, int16);
    QCOMPARE(leadingNumber(text), number);
    QCOMPARE(int(roundToInt16(number)), int16);
}

void tst_Common::orderedWorkReachesTheWriterInOrder_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("stopAt"); // -1: run to the end
    QTest::newRow("one thread") << 1 << -1;
    QTest::newRow("three threads") << 3 << -1;
    QTest::newRow("three threads, writer stops") << 3 << 57;
}

void tst_Common::orderedWorkReachesTheWriterInOrder()
{
    QFETCH(int, threads);
    QFETCH(int, stopAt);
    constexpr int Count = 400, Window = 8;
    struct State {
        Qt::HANDLE thread = QThread::currentThreadId();
    };
    std::atomic<int> made = 0, statesMade = 0, aheadMost = 0;
    QMutex lock;
    QSet<Qt::HANDLE> stateThreads;
    QList<int> consumed;

    OrderedWork<State, int> work;
    work.makeState = [&] {
        ++statesMade;
        QMutexLocker locked(&lock);
        stateThreads << QThread::currentThreadId();
        return std::make_unique<State>();
    };
    work.make = [&](State& state, int index) {
        QMutexLocker locked(&lock);
        const int ahead = ++made - int(consumed.size());
        aheadMost = std::max(aheadMost.load(), ahead);
        // Each thread's state is used on the thread that made it.
        return state.thread == QThread::currentThreadId() ? index * 10 : -1;
    };
    work.consume = [&](int index, int&& item) {
        QMutexLocker locked(&lock);
        consumed << index;
        return item == index * 10 && index != stopAt;
    };

    const bool completed = work.run(Count, threads, Window);
    QCOMPARE(completed, stopAt < 0);
    const int expected = stopAt < 0 ? Count : stopAt + 1;
    QCOMPARE(consumed.size(), expected);
    for (int i = 0; i < expected; ++i)
        QCOMPARE(consumed[i], i);
    QCOMPARE(statesMade.load(), threads);
    QCOMPARE(int(stateThreads.size()), threads);
    QVERIFY2(aheadMost <= Window + 1, qPrintable(QString::number(aheadMost)));
    QVERIFY(made <= expected + Window);
}

void tst_Common::aSaveRemovesOnlyItsOwnLeftovers()
{
    QTemporaryDir dir;
    const QStringList names = {
        QStringLiteral("Demo.Prj.qWxYzA"),  // a save killed before its rename
        QStringLiteral("Demo.Prj.aBcDeF"),  // another station's save, still running
        QStringLiteral("Demo.Prj.backup"),  // the operator's own
        QStringLiteral("Demo.Prj.Backup"),  //
        QStringLiteral("Other.Prj.qWxYzA"), // another file's
    };
    for (const QString& name : names)
        QVERIFY(saveFileAtomically(dir.filePath(name), "x").ok());
    QFile running(dir.filePath(names[1]));
    QVERIFY(running.open(QIODevice::ReadOnly) && ::flock(running.handle(), LOCK_EX) == 0);

    QVERIFY(saveFileAtomically(dir.filePath(QStringLiteral("Demo.Prj")), "new").ok());
    QStringList kept = names.mid(1);
    kept << QStringLiteral("Demo.Prj");
    kept.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), kept);
}

void tst_Common::settingsReadAndWriteAsQtsOwnIniFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vellumark.conf"));
    const QVariantMap values = {
        {QStringLiteral("PrintPage/sheet"), QStringLiteral("A4")},
        {QStringLiteral("PrintPage/cropMarks"), true},
        {QStringLiteral("PrinterOffsets/HP%20Laser%2FJet \u00e9\u20ac/x"), 1.5},
        {QStringLiteral("top"), QStringLiteral(" a, b; \"c\" = d\\e ")},
    };
    // Qt's own file read by ours, and ours read by Qt's.
    for (const auto& [writer, reader] :
         {std::pair{QSettings::IniFormat, checkedSettingsFormat()},
          std::pair{checkedSettingsFormat(), QSettings::IniFormat}}) {
        QFile::remove(path);
        {
            QSettings out(path, writer);
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                out.setValue(it.key(), it.value());
        }
        QSettings in(path, reader);
        QCOMPARE(in.allKeys().size(), values.size());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(in.value(it.key()).toString(), it.value().toString());
    }
}

QTEST_APPLESS_MAIN(tst_Common)
#include "tst_Common.moc"
