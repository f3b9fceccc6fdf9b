// Invariant: PostgreSQL gets the statement the program meant, with the same names in the same
// case: bracketed names and the table before ".[" are double-quoted, quoted text stays as it is;
// and a declared column type gives the key kind the legacy provider gave its column.
#include "project/ColumnKind.h"
#include "project/SqlText.h"

#include <QTest>

using namespace vm;

class tst_SqlText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translatesBracketsForPostgreSQL_data();
    void translatesBracketsForPostgreSQL();
    void kindFollowsTheDeclaredType_data();
    void kindFollowsTheDeclaredType();
};

void tst_SqlText::translatesBracketsForPostgreSQL_data()
{
    QTest::addColumn<QString>("access");
    QTest::addColumn<QString>("postgres");

    QTest::newRow("nothing to translate") << "select * from Staff"
                                          << "select * from Staff";
    QTest::newRow("relation") << "Staff.[DeptID]=Dept.[DeptID]"
                              << R"("Staff"."DeptID"="Dept"."DeptID")";
    QTest::newRow("master condition after a quoted table")
        << R"(select "Staff".* from "Staff" where "Staff".[StaffID]=17)"
        << R"(select "Staff".* from "Staff" where "Staff"."StaffID"=17)";
    QTest::newRow("blanks inside brackets") << "[Order Details].[Unit Price]"
                                            << R"("Order Details"."Unit Price")";
    QTest::newRow("brackets inside a literal") << "Staff.[Code]='[A] ''x'' [B]'"
                                               << R"("Staff"."Code"='[A] ''x'' [B]')";
    QTest::newRow("brackets inside a quoted name") << R"("a[1]".[b])"
                                                   << R"("a[1]"."b")";
    QTest::newRow("double quote inside brackets") << R"([say "hi"])"
                                                  << R"("say ""hi""")";
    QTest::newRow("non-ASCII names") << "Umsätze.[Straße]=1"
                                     << R"("Umsätze"."Straße"=1)";
    QTest::newRow("bare qualifier without brackets stays") << "Staff.Code=Dept.[Code]"
                                                           << R"(Staff.Code="Dept"."Code")";
    QTest::newRow("number before a dot") << "x=1.[y]"
                                         << R"(x=1."y")";
    QTest::newRow("unbalanced bracket left for the server") << "select [x from t"
                                                            << "select [x from t";
    QTest::newRow("unterminated literal") << "where a='[x]"
                                          << "where a='[x]";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_SqlText::translatesBracketsForPostgreSQL()
{
    QFETCH(QString, access);
    QFETCH(QString, postgres);
    QCOMPARE(bracketsToDoubleQuotes(access), postgres);
}

void tst_SqlText::kindFollowsTheDeclaredType_data()
{
    QTest::addColumn<QString>("declared");
    QTest::addColumn<ColumnKind>("kind");

    const QList<QPair<const char*, ColumnKind>> cases = {
        {"VARCHAR(30)", ColumnKind::Text},
        {"character varying(50)", ColumnKind::Text},
        {"TEXT", ColumnKind::Text},
        {"nchar(5)", ColumnKind::Text},
        {"CLOB", ColumnKind::Text},
        {"INTEGER", ColumnKind::Numeric},
        {"unsigned big int", ColumnKind::Numeric},
        {"smallint", ColumnKind::Numeric},
        {"double precision", ColumnKind::Numeric},
        {"numeric(10,2)", ColumnKind::Numeric},
        {"REAL", ColumnKind::Numeric},
        {"DATE", ColumnKind::Other},
        {"DATETIME", ColumnKind::Other},
        {"timestamp without time zone", ColumnKind::Other},
        {"time", ColumnKind::Other},
        {"BOOLEAN", ColumnKind::Other},
        {"BLOB", ColumnKind::Other},
        {"bytea", ColumnKind::Other},
        {"money", ColumnKind::Other},
        {"point", ColumnKind::Other},
        {"integer[]", ColumnKind::Other},
        {"uuid", ColumnKind::Other},
        {"", ColumnKind::Other},
    };
    for (const auto& [declared, kind] : cases)
        QTest::newRow(declared) << QString::fromLatin1(declared) << kind;
}

void tst_SqlText::kindFollowsTheDeclaredType()
{
    QFETCH(QString, declared);
    QFETCH(ColumnKind, kind);
    QCOMPARE(columnKindForDeclaredType(declared), kind);
}

QTEST_GUILESS_MAIN(tst_SqlText)
#include "tst_SqlText.moc"
