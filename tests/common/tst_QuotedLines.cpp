// Invariant: every text the writers produce decodes to the same texts; files from older versions
// (8-bit code page, LF line ends, fields spanning lines) decode as their original reader did.
#include "common/QuotedLines.h"

#include <QTest>

using namespace vm;

class tst_QuotedLines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesQuotedCrLfLinesAndDecodesThemBack();
    void decodesLikeTheOriginalReader_data();
    void decodesLikeTheOriginalReader();
};

void tst_QuotedLines::encodesQuotedCrLfLinesAndDecodesThemBack()
{
    const QStringList texts = {QStringLiteral("  a, b: c"), QString(),
                               QStringLiteral("two\r\nlines"), QStringLiteral("é")};
    const QByteArray bytes = encodeQuotedLines(texts);
    QCOMPARE(bytes, QByteArray("\"  a, b: c\"\r\n\"\"\r\n\"two\r\nlines\"\r\n\"\xc3\xa9\"\r\n"));
    QCOMPARE(decodeQuotedLines(bytes), texts);
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

QTEST_GUILESS_MAIN(tst_QuotedLines)
#include "tst_QuotedLines.moc"
