// Invariant: PostgreSQL gets the statement the program meant, with the same names in the same
// case: bracketed names and the table before ".[" are double-quoted, quoted text stays as it is.
#include "project/SqlText.h"

#include <QTest>

using namespace vm;

class tst_SqlText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translatesBracketsForPostgreSQL_data();
    void translatesBracketsForPostgreSQL();
};

void tst_SqlText::translatesBracketsForPostgreSQL_data()
{
    QTest::addColumn<QString>("access");
    QTest::addColumn<QString>("postgres");
    QTest::newRow("relation") << "Staff.[DeptID]=Dept.[DeptID]"
                              << R"("Staff"."DeptID"="Dept"."DeptID")";
    QTest::newRow("quoted table") << R"("Staff".[No]=17)"
                                  << R"("Staff"."No"=17)";
    QTest::newRow("blanks") << "[Order Details].[Unit Price]"
                            << R"("Order Details"."Unit Price")";
    QTest::newRow("literal") << "T.[C]='[A] ''x'' [B]'"
                             << R"("T"."C"='[A] ''x'' [B]')";
    QTest::newRow("quote in a name") << R"([say "hi"])"
                                     << R"("say ""hi""")";
    QTest::newRow("umlauts") << "Umsätze.[Straße]"
                             << R"("Umsätze"."Straße")";
    QTest::newRow("bare qualifier stays") << "S.Code=D.[Code]"
                                          << R"(S.Code="D"."Code")";
    QTest::newRow("unbalanced") << "select [x from t"
                                << "select [x from t";
}

void tst_SqlText::translatesBracketsForPostgreSQL()
{
    QFETCH(QString, access);
    QFETCH(QString, postgres);
    QCOMPARE(bracketsToDoubleQuotes(access), postgres);
}

QTEST_GUILESS_MAIN(tst_SqlText)
#include "tst_SqlText.moc"
