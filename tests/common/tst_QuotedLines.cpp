// Invariant: every text the writers produce decodes to the same texts; files from older versions
// (8-bit code page, LF line ends, fields spanning lines) decode as their original reader did.
#include "common/FileNames.h"
#include "common/QuotedLines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;

class tst_QuotedLines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesQuotedCrLfLines();
    void decodesWhatWasEncoded();
    void decodesLikeTheOriginalReader_data();
    void decodesLikeTheOriginalReader();
    void resolvesFileNamesWithoutRegardToCase();
};

void tst_QuotedLines::encodesQuotedCrLfLines()
{
    QCOMPARE(encodeQuotedLines({QStringLiteral("a:1"), QString(), QStringLiteral("é")}),
             QByteArray("\"a:1\"\r\n\"\"\r\n\"\xc3\xa9\"\r\n"));
}

void tst_QuotedLines::decodesWhatWasEncoded()
{
    const QStringList texts = {QStringLiteral("Caption:a, b: c"),
                               QStringLiteral("  lead"),
                               QString(),
                               QStringLiteral("日本"),
                               QStringLiteral("two\r\nlines"),
                               QStringLiteral("last")};
    QCOMPARE(decodeQuotedLines(encodeQuotedLines(texts)), texts);
}

void tst_QuotedLines::decodesLikeTheOriginalReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("LF ends") << QByteArray("\"a\"\n\"b\"\n") << QStringList{"a", "b"};
    QTest::newRow("no final line end") << QByteArray("\"a\"\r\n\"b\"") << QStringList{"a", "b"};
    QTest::newRow("trailing blank lines") << QByteArray("\"a\"\r\n\r\n\r\n") << QStringList{"a"};
    QTest::newRow("comma after quote") << QByteArray("\"a\",\"b\"\r\n") << QStringList{"a", "b"};
    QTest::newRow("junk after quote")
        << QByteArray("\"a\"xyz\r\n\"b\"\r\n") << QStringList{"a", "b"};
    QTest::newRow("unquoted line") << QByteArray("plain, text\r\n") << QStringList{"plain, text"};
    QTest::newRow("unterminated") << QByteArray("\"a\"\r\n\"open\r\nrest")
                                  << QStringList{"a", "open\r\nrest"};
    QTest::newRow("windows-1252") << QByteArray("\"Z\xfcrich \x80\"\r\n")
                                  << QStringList{QStringLiteral("Zürich €")};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

void tst_QuotedLines::decodesLikeTheOriginalReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QCOMPARE(decodeQuotedLines(bytes), fields);
}

void tst_QuotedLines::resolvesFileNamesWithoutRegardToCase()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Visitor.Lyt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(resolveFileName(dir.filePath(QStringLiteral("Visitor.Lyt"))), file.fileName());
    QCOMPARE(resolveFileName(dir.filePath(QStringLiteral("visitor.lyt"))), file.fileName());
    const QString missing = dir.filePath(QStringLiteral("Other.lyt"));
    QCOMPARE(resolveFileName(missing), missing);
    QCOMPARE(fileTitle(QStringLiteral("/x/y/ab.Lyt")), QStringLiteral("ab.Lyt"));
}

QTEST_GUILESS_MAIN(tst_QuotedLines)
#include "tst_QuotedLines.moc"
