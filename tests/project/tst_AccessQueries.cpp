// Invariant: a saved Access query either becomes a view that lists exactly the rows Access lists,
// or is refused with a reason; the operator is never offered a name that fails when it is read.
#include "project/AccessQueries.h"
#include "project/Database.h"
#include "support/Samples.h"
#include "support/Skip.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::AccessQueryRow)

namespace {

using Rows = QList<AccessQueryRow>;

// The parts of a saved query, as the Access file keeps them.
AccessQueryRow kind(int flag)
{
    return {1, flag, {}, {}, {}};
}
AccessQueryRow parameter(const char* name)
{
    return {2, 0, QString::fromUtf8(name), {}, {}};
}
AccessQueryRow options(int flag, const char* top = "")
{
    return {3, flag, QString::fromUtf8(top), {}, {}};
}
AccessQueryRow from(const char* table, const char* alias = "")
{
    return {5, 0, QString::fromUtf8(table), QString::fromUtf8(alias), {}};
}
AccessQueryRow column(const char* expression, const char* alias = "")
{
    return {6, 0, QString::fromUtf8(alias), {}, QString::fromUtf8(expression)};
}
AccessQueryRow join(int flag, const char* left, const char* right, const char* on)
{
    return {7, flag, QString::fromUtf8(left), QString::fromUtf8(right), QString::fromUtf8(on)};
}
AccessQueryRow where(const char* expression)
{
    return {8, 0, {}, {}, QString::fromUtf8(expression)};
}
AccessQueryRow groupBy(const char* expression)
{
    return {9, 0, {}, {}, QString::fromUtf8(expression)};
}
AccessQueryRow having(const char* expression)
{
    return {10, 0, {}, {}, QString::fromUtf8(expression)};
}
AccessQueryRow orderBy(const char* expression, bool descending = false)
{
    return {11, 0, descending ? QStringLiteral("D") : QString(), {}, QString::fromUtf8(expression)};
}

Rows select(std::initializer_list<AccessQueryRow> parts)
{
    Rows rows{kind(1)};
    rows << parts;
    return rows;
}

// The tables as the Access import makes them: text without regard to case, booleans 1 and 0,
// dates as text.
const char* const Setup[] = {
    R"(create table People (ID integer, Name varchar(20) collate nocase, DeptID integer,
        Active boolean, Born datetime, Pay currency))",
    R"(insert into People values (1, 'Ann', 10, 1, '1990-05-01 00:00:00', 100.5),
        (2, 'bob', 10, 0, '1985-12-31 00:00:00', 200), (3, 'Cid', 20, 1, '2001-01-01 00:00:00',
        300), (4, 'Dee', null, 1, '1995-06-15 12:30:00', 50), (5, 'Eve', 30, 1, null, 7))",
    R"(create table Dept (DeptID integer, Title varchar(20) collate nocase))",
    R"(insert into Dept values (10, 'Sales'), (20, 'Stock'), (40, 'Empty'))",
    R"(create table Badge (PersonID integer, Kind varchar(10) collate nocase))",
    R"(insert into Badge values (1, 'Gold'), (9, 'Lost'))",
    R"(create view Managers as select * from People where ID < 3)",
};

bool hasColumn(const QString& source, const QString& column)
{
    static const QHash<QString, QStringList> tables = {
        {"people", {"rowid", "id", "name", "deptid", "active", "born", "pay"}},
        {"dept", {"rowid", "deptid", "title"}},
        {"badge", {"rowid", "personid", "kind"}}};
    return tables.value(source.toLower()).contains(column.toLower());
}

// "header;row;row", values of a row joined by "|".
QString listing(QSqlQuery& query)
{
    QStringList lines;
    QStringList header;
    for (int i = 0; i < query.record().count(); ++i)
        header << query.record().fieldName(i);
    lines << header.join(u'|');
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << query.value(i).toString();
        lines << values.join(u'|');
    }
    return lines.join(u';');
}

} // namespace

class tst_AccessQueries : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void translatedQueriesListWhatAccessLists_data();
    void translatedQueriesListWhatAccessLists();
    void untranslatableQueriesAreRefusedWithAReason_data();
    void untranslatableQueriesAreRefusedWithAReason();
    void northwindQueriesBecomeViewsOrSayWhyNot_data();
    void northwindQueriesBecomeViewsOrSayWhyNot();

private:
    QSqlDatabase m_db;
};

void tst_AccessQueries::initTestCase()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("queries"));
    m_db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(m_db.open());
    QSqlQuery query(m_db);
    for (const char* statement : Setup)
        QVERIFY2(query.exec(QString::fromUtf8(statement)), qPrintable(query.lastError().text()));
}

void tst_AccessQueries::cleanupTestCase()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("queries"));
}

void tst_AccessQueries::translatedQueriesListWhatAccessLists_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("listed");
    const auto row = [](const char* name, const char* listed,
                        std::initializer_list<AccessQueryRow> parts) {
        QTest::newRow(name) << select(parts) << QString(listed);
    };

    row("Yes and No are the stored 1 and 0", "Name;Eve;Dee;Cid;Ann",
        {from("People"), column("People.Name"), where("((People.Active)=Yes)"),
         orderBy("People.Name", true)});
    row("texts compare without regard to case", "Who;bob",
        {from("People"), column("[Name]", "Who"), where("People.Name=\"BOB\"")});
    row("dates are US dates, 00-29 this century", "ID;1;4",
        {from("People"), column("People.ID"),
         where("People.Born Between #1/1/90# And #12/31/1999# Or People.Born>#1/1/29#")});
    row("a date with a time", "ID;4",
        {from("People"), column("People.ID"), where("People.Born=#6/15/1995 12:30 PM#")});
    row("integers divide exactly; currency keeps four decimals",
        "Half|Expr1000;0.5|33.5;2.5|2.3333",
        {from("People"), column("People.ID/2", "Half"), column("CCur(People.Pay/3)"),
         where("People.ID In (1,5)")});
    row("the same column of two tables is named after its table",
        "People.DeptID|Dept.DeptID|Name;10|10|Ann;10|10|bob;20|20|Cid",
        {from("People"), from("Dept"), column("People.DeptID"), column("Dept.DeptID"),
         column("People.Name"), join(1, "People", "Dept", "People.DeptID = Dept.DeptID"),
         orderBy("People.ID")});
    row("an outer join attached from its other side", "Kind|Name;Gold|Ann;Lost|",
        {from("People", "P"), from("Dept"), from("Badge"), column("Badge.Kind"), column("P.Name"),
         join(1, "P", "Dept", "P.DeptID = Dept.DeptID"),
         join(2, "Badge", "P", "Badge.PersonID = P.ID"), orderBy("Badge.Kind")});
    row("DISTINCTROW: one row per record of the listed table", "Title;Sales;Stock",
        {options(8), from("Dept"), from("People"), column("Dept.Title"),
         join(1, "Dept", "People", "Dept.DeptID = People.DeptID"), orderBy("Dept.Title")});
    row("without it, one row per joined pair", "Title;Sales;Sales;Stock",
        {from("Dept"), from("People"), column("Dept.Title"),
         join(1, "Dept", "People", "Dept.DeptID = People.DeptID"), orderBy("Dept.Title")});
    row("DISTINCT", "Active;0;1",
        {options(2), from("People"), column("People.Active"), orderBy("People.Active")});
    row("groups, counts and a condition on them", "Title|N;Sales|2",
        {from("Dept"), from("People"), column("Dept.Title"), column("Count(*)", "N"),
         join(1, "Dept", "People", "Dept.DeptID = People.DeptID"), groupBy("Dept.Title"),
         having("Count(*)>1")});
    row("TOP without an order", "ID;1;2", {options(16, "2"), from("People"), column("People.ID")});
    row("Like with Access wildcards", "Name;Ann",
        {from("People"), column("People.Name"), where("People.Name Like \"?n*\"")});
    row("IsNull and a subquery", "Name;bob;Cid;Eve",
        {from("People"), column("People.Name"),
         where("IsNull(People.Born) Or People.Pay>(SELECT Avg([Pay]) FROM People)")});
}

void tst_AccessQueries::translatedQueriesListWhatAccessLists()
{
    QFETCH(Rows, rows);
    QFETCH(QString, listed);
    const Result<TranslatedQuery> translated = translateAccessQuery(rows, hasColumn);
    QVERIFY2(translated.ok(), qPrintable(translated.error()));
    QSqlQuery query(m_db);
    QVERIFY2(query.exec(translated->sql),
             qPrintable(translated->sql + u'\n' + query.lastError().text()));
    QCOMPARE(listing(query), listed);
}

void tst_AccessQueries::untranslatableQueriesAreRefusedWithAReason_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* reason,
                        std::initializer_list<AccessQueryRow> parts) {
        QTest::newRow(name) << select(parts) << QString(reason);
    };

    row("&", "joins texts with &", {from("People"), column("People.Name & \"!\"")});
    row("+ joins texts in Access", "uses +", {from("People"), column("[Name]+[Name]")});
    row("parameters", "asks for values when it runs (Start)",
        {parameter("Start"), from("People"), column("[ID]")});
    row("a form reference", "refers to a form",
        {from("People"), column("[ID]"), where("People.ID=[Forms]![Staff]![ID]")});
    row("a function without a counterpart", "uses the function Format",
        {from("People"), column("Format([Born],\"yyyy\")")});
    row("comparisons chained", "compares twice",
        {from("People"), column("[ID]"), where("People.ID = People.DeptID > 1")});
    row("TOP with an order keeps ties", "TOP",
        {options(16, "3"), from("People"), column("[ID]"), orderBy("[Pay]", true)});
    row("DISTINCTROW over a query", "is no table",
        {options(8), from("Managers"), from("Dept"), column("Managers.Name"),
         join(1, "Managers", "Dept", "Managers.DeptID = Dept.DeptID")});
    row("a date that does not exist", "#13/45/99#",
        {from("People"), column("[ID]"), where("[Born]>#13/45/99#")});
    QTest::newRow("a crosstab query")
        << Rows{kind(6), from("People"), column("[ID]")} << "crosstab";
    QTest::newRow("a union query")
        << Rows{kind(9), {5, 0, {}, "X1", "SELECT ID FROM People"}} << "union";
    QTest::newRow("an update query") << Rows{kind(4), from("People")} << "changes data";
    row("another database", "another database",
        {{4, 0, "C:\\other.mdb", {}, {}}, from("People"), column("[ID]")});
}

void tst_AccessQueries::untranslatableQueriesAreRefusedWithAReason()
{
    QFETCH(Rows, rows);
    QFETCH(QString, reason);
    const Result<TranslatedQuery> translated = translateAccessQuery(rows, hasColumn);
    if (translated.ok())
        QFAIL(qPrintable(QStringLiteral("translated: ") + translated->sql));
    QVERIFY2(translated.error().contains(reason), qPrintable(translated.error()));
}

void tst_AccessQueries::northwindQueriesBecomeViewsOrSayWhyNot_data()
{
    QTest::addColumn<QString>("sample");
    QTest::newRow("Jet 4") << "northwind-jet4.mdb";
    QTest::newRow("Jet 3") << "northwind-jet3.mdb";
}

void tst_AccessQueries::northwindQueriesBecomeViewsOrSayWhyNot()
{
    QFETCH(QString, sample);
    VM_SKIP_IF(missingSample(sample));
    DatabaseConnection connection;
    QVERIFY2(connection.OpenProjectDatabase(samplePath(sample)),
             qPrintable(connection.errorText()));

    const QHash<QString, QString> refused = {
        {"Customers and Suppliers by City", "is a union query"},
        {"Employee Sales by Country", "asks for values when it runs (Beginning Date, Ending "
                                      "Date)"},
        {"Invoices", "joins texts with &"},
        {"Invoices Filter", "refers to a form"},
        {"Quarterly Orders by Product", "is a crosstab query"},
        {"Sales by Year", "asks for values"},
        {"Ten Most Expensive Products", "TOP"}};
    QStringList views;
    for (const QString& name : ListUserTables(connection)) {
        const QString why = connection.unreadableReason(name);
        if (refused.contains(name)) {
            QVERIFY2(why.startsWith(u'\u201c' + name + u'\u201d') &&
                         why.contains(refused.value(name)),
                     qPrintable(name + QStringLiteral(": ") + why));
            // The engine's refusal of the name is told in the same words.
            QString error;
            QVERIFY(ListFieldNames(connection, name, &error).isEmpty());
            QCOMPARE(unusableTableReason(connection, name), why);
            continue;
        }
        QVERIFY2(why.isEmpty(), qPrintable(why));
        auto read = connection.select(QStringLiteral("select count(*) from [%1]").arg(name));
        QVERIFY2(read.query.next(), qPrintable(name + QStringLiteral(": ") + read.error));
        views << name;
    }
    QCOMPARE(views.size() + refused.size(), ListUserTables(connection).size());

    // What the views list, against the same question asked of the tables.
    const QStringList checks = {
        "select count(*) from [Current Product List] union all "
        "select count(*) from Products where not Discontinued",
        "select count(*) from [Quarterly Orders] union all select count(distinct CustomerID) "
        "from Orders where OrderDate between '1995-01-01' and '1995-12-31 00:00:00'",
        "select count(*) from [Order Subtotals] union all "
        "select count(distinct OrderID) from [Order Details]",
        "select group_concat(ProductName, '/') from (select * from [Products Above Average Price] "
        "limit 3) union all select group_concat(ProductName, '/') from (select ProductName from "
        "Products where UnitPrice > (select avg(UnitPrice) from Products) "
        "order by UnitPrice desc limit 3)",
        "select sum(CategorySales) > 0 and count(*) = 8 from [Category Sales for 1995] "
        "union all select 1"};
    for (const QString& check : checks) {
        auto both = connection.select(check);
        QVERIFY2(both.query.next(), qPrintable(check + u'\n' + both.error));
        const QString fromView = both.query.value(0).toString();
        QVERIFY(both.query.next());
        QVERIFY2(fromView == both.query.value(0).toString(),
                 qPrintable(check + QStringLiteral(": ") + fromView + QStringLiteral(" vs ") +
                            both.query.value(0).toString()));
    }

    // A view can be the master table: its columns are listed and its keys have their kind.
    QVERIFY(unusableTableReason(connection, "Catalog").isEmpty());
    QCOMPARE(ListFieldNames(connection, "Catalog").value(3), QStringLiteral("ProductID"));
    QCOMPARE(connection.columnKind("Catalog", "ProductID"), ColumnKind::Numeric);
    QCOMPARE(connection.columnKind("Catalog", "ProductName"), ColumnKind::Text);
    QVERIFY(unusableTableReason(connection, "Orders Qry").isEmpty()); // bracketed where named
}

QTEST_GUILESS_MAIN(tst_AccessQueries)
#include "tst_AccessQueries.moc"
