// Invariant: the record list shows every row of the master table, one column per field in table
// order, each value as the engine holds it (null apart from an empty text), read the same way
// from SQLite, PostgreSQL and an Access copy. Sorting and searching never change what a row
// holds, find people whatever the case and accents typed, and hand back positions in the order
// shown.
#include "project/Database.h"
#include "records/RecordListModel.h"
#include "records/RecordRows.h"
#include "records/RecordTableReader.h"
#include "records/SearchText.h"
#include "support/EngineRows.h"
#include "support/Samples.h"
#include "support/Skip.h"

#include <QSignalSpy>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

using Row = QList<std::optional<QString>>;

RecordRows rowsOf(const QList<Row>& table)
{
    auto chunk = std::make_shared<RecordChunk>();
    for (const Row& row : table) {
        for (const std::optional<QString>& cell : row) {
            if (cell)
                chunk->addCell(QStringView(*cell));
            else
                chunk->addNull();
        }
        chunk->endRow();
    }
    RecordRows rows;
    rows.append(chunk);
    return rows;
}

QStringList columnTexts(const RecordRows& rows, const RowOrder& order, int c)
{
    QStringList texts;
    for (int position = 0; position < rows.rowCount(); ++position)
        texts << (rows.isNull(order.row(position), c) ? QStringLiteral("<null>")
                                                      : rows.text(order.row(position), c));
    return texts;
}

struct ReadTable {
    RecordTableColumns columns;
    RecordRows rows;
    QList<int> chunkSizes;
    QString error;
};

ReadTable readAll(DatabaseConnection& db, const QString& table, const QString& key)
{
    ReadTable read;
    RecordTableSink sink;
    sink.columns = [&](const RecordTableColumns& c) {
        read.columns = c;
    };
    sink.chunk = [&](RecordChunkPtr chunk) {
        read.chunkSizes << chunk->rowCount();
        read.rows.append(std::move(chunk));
    };
    const std::atomic<bool> cancelled{false};
    read.error = readRecordTable(db, table, key, sink, cancelled);
    return read;
}

} // namespace

class tst_RecordList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void searchTextFoldsCaseAndAccents_data();
    void searchTextFoldsCaseAndAccents();
    void chunkKeepsCellsExactly();
    void sortsByValueAndKeepsTiesInTableOrder_data();
    void sortsByValueAndKeepsTiesInTableOrder();
    void findsRowsHoldingEveryWord_data();
    void findsRowsHoldingEveryWord();

    void readsEveryRowAsTheEngineHoldsIt_data() { addEngineRows(); }
    void readsEveryRowAsTheEngineHoldsIt();
    void readsAnAccessCopy();

    void modelFillsSortsAndFindsWhileReading();
    void reloadKeepsTheSortAndDropsStaleRows();
    void sortsByPrintsAsTheFilterNarrows_data();
    void sortsByPrintsAsTheFilterNarrows();
};

void tst_RecordList::searchTextFoldsCaseAndAccents_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("folded");
    QTest::newRow("ascii") << "O'Brien 12" << QByteArray("o'brien 12");
    QTest::newRow("accents") << "Ågren Müller Chloé" << QByteArray("agren muller chloe");
    QTest::newRow("letters with strokes")
        << "ŁUKASZ Søren Đorđe" << QByteArray("lukasz soren dorde");
    QTest::newRow("sharp s, ligature") << "Straße ﬁle" << QByteArray("strasse file");
    QTest::newRow("full width, no-break space") << "ＡＢ\u00a0c" << QByteArray("ab c");
    QTest::newRow("controls become blanks") << "a\tb\nc\x1f" << QByteArray("a b c ");
    QTest::newRow("other scripts kept") << "Ωμέγα 東京" << QByteArray("ωμεγα 東京");
    QTest::newRow("beyond the basic plane") << "\U0001D400x" << QByteArray("\xf0\x9d\x90\x80x");
}

// Both readers fold: the UTF-16 one (PostgreSQL values, what is typed) and the UTF-8 one
// (SQLite); a row must be found by the same words either way.
void tst_RecordList::searchTextFoldsCaseAndAccents()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, folded);
    QCOMPARE(searchText(text), folded);
    std::string fromUtf8;
    const QByteArray utf8 = text.toUtf8();
    appendSearchText(fromUtf8, std::string_view(utf8.constData(), std::size_t(utf8.size())));
    QCOMPARE(QByteArray::fromStdString(fromUtf8), folded);
}

void tst_RecordList::chunkKeepsCellsExactly()
{
    const QString longText = QString(300, QLatin1Char('x')) + QStringLiteral("é");
    const QString awkward = QStringLiteral("tab\there\nline\x1f unit 😀");
    const RecordRows rows = rowsOf(
        {{QString(), std::nullopt, longText}, {awkward, QStringLiteral("Zoë"), std::nullopt}});
    QCOMPARE(rows.rowCount(), 2);
    QVERIFY(!rows.isNull(0, 0) && rows.text(0, 0).isEmpty()); // empty is not null
    QVERIFY(rows.isNull(0, 1));
    QCOMPARE(rows.text(0, 2), longText); // a length needing more than one byte
    QCOMPARE(rows.text(1, 0), awkward);
    QCOMPARE(rows.text(1, 1), QStringLiteral("Zoë"));
    QVERIFY(rows.isNull(1, 2));
    QVERIFY(rows.isNull(1, 3)); // no such column
    QCOMPARE(QByteArray::fromStdString(std::string(rows.searchText(1))),
             QByteArray("tab here line  unit \xf0\x9f\x98\x80\x1fzoe\x1f"));
}

void tst_RecordList::sortsByValueAndKeepsTiesInTableOrder_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<ColumnKind>("kind");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected"); // the first column in the sorted order
    QTest::newRow("numbers by value, nulls first, text last")
        << 1 << ColumnKind::Numeric << false << QStringList{"e", "b", "a", "d", "f", "c"};
    QTest::newRow("numbers descending")
        << 1 << ColumnKind::Numeric << true << QStringList{"c", "d", "f", "a", "b", "e"};
    QTest::newRow("text ignores case and accents first")
        << 2 << ColumnKind::Text << false << QStringList{"c", "e", "d", "a", "f", "b"};
    QTest::newRow("ties keep table order")
        << 3 << ColumnKind::Text << false << QStringList{"a", "c", "e", "b", "d", "f"};
}

void tst_RecordList::sortsByValueAndKeepsTiesInTableOrder()
{
    QFETCH(int, column);
    QFETCH(ColumnKind, kind);
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    const RecordRows rows = rowsOf({{"a", "10", "Müller", "x"},
                                    {"b", "9.5", "zeta", "y"},
                                    {"c", "n/a", "Åberg", "x"},
                                    {"d", "1e2", "adams", "y"},
                                    {"e", std::nullopt, "Adams", "x"},
                                    {"f", "100", "muller", "y"}});
    const std::optional<RowOrder> order = sortRows(rows, rows.rowCount(), column, kind, descending);
    QVERIFY(order);
    QCOMPARE(columnTexts(rows, *order, 0), expected);
    for (int position = 0; position < rows.rowCount(); ++position)
        QCOMPARE(order->position(order->row(position)), position);
}

void tst_RecordList::findsRowsHoldingEveryWord_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("sorted");  // by the last name, descending
    QTest::addColumn<int>("expected"); // position, -1 for none
    QTest::newRow("accents and case") << "MULLER" << 0 << false << 1;
    QTest::newRow("next one") << "muller" << 2 << false << 3;
    QTest::newRow("wraps round") << "muller" << 4 << false << 1;
    QTest::newRow("words in different columns") << "zurich anna" << 0 << false << 3;
    QTest::newRow("a word across two cells is no match") << "annamu" << 0 << false << -1;
    QTest::newRow("in the order shown") << "muller" << 0 << true << 1;
    QTest::newRow("blanks only") << "   " << 0 << false << -1;
}

void tst_RecordList::findsRowsHoldingEveryWord()
{
    QFETCH(QString, typed);
    QFETCH(int, from);
    QFETCH(bool, sorted);
    QFETCH(int, expected);
    // Rows in two chunks, so a search crosses from one to the next.
    RecordRows rows = rowsOf({{"1", "Ada", "Zimmer", "Bern"}, {"2", "Bo", "Müller", "Basel"}});
    const RecordRows more =
        rowsOf({{"3", "Cy", "Adams", "Chur"}, {"4", "Anna", "MULLER", "Zürich"}});
    rows.append(more.chunks().front());
    std::optional<RowOrder> order;
    if (sorted) // Zimmer, Müller, MULLER, Adams
        order = sortRows(rows, rows.rowCount(), 2, ColumnKind::Text, true);
    const std::optional<int> found =
        findRow(rows, order ? &*order : nullptr, searchTerms(typed), from);
    QCOMPARE(found.value_or(-1), expected);
}

void tst_RecordList::readsEveryRowAsTheEngineHoldsIt()
{
    QFETCH(DatabaseEngine, engine);
    VM_SKIP_IF(engineUnavailable(engine));
    const bool pg = engine == DatabaseEngine::PostgreSQL;
    QStringList setup = {
        QStringLiteral(R"(create table "Staff" ("Name" varchar(40), "StaffID" integer,
            "Score" %1, "Hired" date, "Active" %2, "Note" text, "Picture" %3))")
            .arg(pg ? "double precision" : "real", pg ? "boolean" : "integer",
                 pg ? "bytea" : "blob"),
        QStringLiteral(R"(insert into "Staff" values ('O''Brien', 17, 0.1, '2020-01-02', %1,
            'tab	and' || chr(10) || 'line \ back', %2))")
            .arg(pg ? "true" : "1", pg ? "'\\x0102'::bytea" : "x'0102'"),
        R"(insert into "Staff" values ('', null, null, null, null, null, null))",
    };
    if (!pg)
        setup[1].replace(QLatin1String("chr(10)"), QLatin1String("char(10)"));
    // Enough rows for a first chunk and more.
    setup << (pg ? QStringLiteral(R"(insert into "Staff" ("Name", "StaffID")
                                     select 'P' || n, n from generate_series(100, 549) n)")
                 : QStringLiteral(R"(insert into "Staff" ("Name", "StaffID")
                      with recursive n(i) as (select 100 union all select i + 1 from n
                      where i < 549) select 'P' || i, i from n)"));
    ScratchDatabase scratch(engine);
    const QString path = scratch.build(setup);
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(path));

    const ReadTable read = readAll(db, "Staff", "staffid");
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.columns.names,
             QStringList({"Name", "StaffID", "Score", "Hired", "Active", "Note", "Picture"}));
    QCOMPARE(read.columns.keyColumn, 1);
    QCOMPARE(read.columns.keyKind, ColumnKind::Numeric);
    QCOMPARE(read.columns.kinds.mid(0, 3),
             QList({ColumnKind::Text, ColumnKind::Numeric, ColumnKind::Numeric}));
    QCOMPARE(read.columns.expectedRows, 452);
    QCOMPARE(read.rows.rowCount(), 452);
    QCOMPARE(read.chunkSizes.first(), 200);

    const QStringList first = QStringLiteral("O'Brien|17|0.1|2020-01-02|%1|tab\tand\nline \\ "
                                             "back|(2 bytes of binary data)")
                                  .arg(pg ? "true" : "1")
                                  .split(u'|');
    for (int c = 0; c < first.size(); ++c)
        QCOMPARE(read.rows.text(0, c), first[c]);
    QVERIFY(!read.rows.isNull(1, 0) && read.rows.text(1, 0).isEmpty());
    for (int c = 1; c < first.size(); ++c)
        QVERIFY(read.rows.isNull(1, c));
    QCOMPARE(read.rows.text(451, 0), QStringLiteral("P549"));
}

void tst_RecordList::readsAnAccessCopy()
{
    VM_SKIP_IF(missingSample(QStringLiteral("northwind-jet4.mdb")));
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(samplePath(QStringLiteral("northwind-jet4.mdb"))));
    const ReadTable read = readAll(db, "Employees", "EmployeeID");
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.rows.rowCount(), 9);
    QCOMPARE(read.columns.names.first(), QStringLiteral("EmployeeID"));
    QCOMPARE(read.columns.keyColumn, 0);
    QCOMPARE(read.columns.kinds.first(), ColumnKind::Numeric);
    QCOMPARE(columnTexts(read.rows, RowOrder(), 0).join(u' '), QStringLiteral("1 2 3 4 5 6 7 8 9"));
    const int lastName = int(read.columns.names.indexOf("LastName"));
    QCOMPARE(read.rows.text(0, lastName), QStringLiteral("Davolio"));
}

// The model over a table read in a worker: rows come in chunks, a search asked early finds a
// row that arrives later, a sort moves the rows and the persistent indexes with them.
void tst_RecordList::modelFillsSortsAndFindsWhileReading()
{
    ScratchDatabase scratch(DatabaseEngine::SQLite);
    const QString path = scratch.build({
        R"(create table "People" ("Id" integer primary key, "Name" varchar(20), "Town" text))",
        R"(insert into "People" with recursive n(i) as (select 1 union all select i + 1 from n
           where i < 30000) select i, 'Person ' || i, case when i % 2 then 'Bern' end from n)",
        R"(update "People" set "Name" = 'Zoë Ågren' where "Id" = 29999)",
    });
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));

    RecordListModel model;
    QSignalSpy finished(&model, &RecordListModel::loadFinished);
    QSignalSpy found(&model, &RecordListModel::found);
    model.reload({path, "People", "id"});
    model.find(QStringLiteral("zoe agren")); // long before row 29,999 is read
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toString(), QString());
    QCOMPARE(model.rowCount(), 30000);
    QCOMPARE(model.columnNames(), QStringList({"Id", "Name", "Town"}));
    QCOMPARE(model.keyColumn(), 0);
    QCOMPARE(model.keyKind(), ColumnKind::Numeric);
    QTRY_COMPARE(found.size(), 1);
    QCOMPARE(found.first().at(1).toInt(), 29998);
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("Bern"));
    QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral(" ")); // null shows one blank
    QCOMPARE(model.keyText(29998), QStringLiteral("29999"));
    QCOMPARE(model.positionOfKey("29999"), 29998);

    const QPersistentModelIndex held = model.index(29998, 1);
    QSignalSpy sorted(&model, &RecordListModel::sortFinished);
    model.sort(1, Qt::DescendingOrder);
    QVERIFY(sorted.wait(30000));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Zoë Ågren"));
    QCOMPARE(held.row(), 0);
    QCOMPARE(model.keyText(0), QStringLiteral("29999"));
    QCOMPARE(model.positionOfKey("29999"), 0);

    found.clear();
    model.find(QStringLiteral("person 2999"), 0); // Person 29998 sorts before Person 2999
    QTRY_COMPARE(found.size(), 1);
    QCOMPARE(model.keyText(found.first().at(1).toInt()), QStringLiteral("29998"));
    found.clear();
    model.find(QStringLiteral("nobody"));
    QTRY_COMPARE(found.size(), 1);
    QCOMPARE(found.first().at(1).toInt(), -1);

    model.sort(-1);
    QCOMPARE(model.keyText(0), QStringLiteral("1"));
    QCOMPARE(held.row(), 29998);
}

void tst_RecordList::reloadKeepsTheSortAndDropsStaleRows()
{
    ScratchDatabase scratch(DatabaseEngine::SQLite);
    const QString path = scratch.build({
        R"(create table "People" ("Id" integer, "Name" varchar(20)))",
        R"(insert into "People" values (1, 'b'), (2, 'c'), (3, 'a'))",
    });
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    RecordListModel model;
    QSignalSpy finished(&model, &RecordListModel::loadFinished);
    QSignalSpy sorted(&model, &RecordListModel::sortFinished);
    model.reload({path, "People", "Id"});
    QVERIFY(finished.wait(10000));
    model.sort(1, Qt::AscendingOrder);
    QVERIFY(sorted.wait(10000));
    QCOMPARE(model.keyText(0), QStringLiteral("3"));

    QVERIFY(
        scratch.connection().execute(R"(insert into "People" values (4, '0'))").error.isEmpty());
    model.reload({path, "People", "Id"});
    model.reload({path, "People", "Id"}); // the first reading's rows must never show
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.rowCount(), 4);
    QTRY_VERIFY(!model.isSorting() && sorted.size() == 2);
    QCOMPARE(model.sortColumn(), 1);
    QStringList keys;
    for (int position = 0; position < model.rowCount(); ++position)
        keys << *model.keyText(position);
    QCOMPARE(keys, QStringList({"4", "3", "1", "2"}));

    model.reload({path, "Missing", "Id"});
    QVERIFY(finished.wait(10000));
    QVERIFY(finished.last().first().toString().contains(QLatin1String("Missing")));
    QCOMPARE(model.rowCount(), 0);
}

// "Printed" and "Last printed" sort by what the issuance summary says of each row's key, people
// never printed first when ascending; a later sort wins over one still running; a filter keeps
// narrowing the sorted rows, and the rows held move with their people instead of being reset.
void tst_RecordList::sortsByPrintsAsTheFilterNarrows_data()
{
    QTest::addColumn<int>("printColumn"); // 0 Printed, 1 Last printed
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("count, never printed first")
        << 0 << false << "" << QStringList{"2", "4", "3", "1"};
    QTest::newRow("latest first, never printed last")
        << 1 << true << "" << QStringList{"3", "1", "2", "4"};
    QTest::newRow("count, narrowed") << 0 << true << "lee" << QStringList{"1", "3", "2"};
    QTest::newRow("time, narrowed") << 1 << false << "lee" << QStringList{"2", "1", "3"};
}

void tst_RecordList::sortsByPrintsAsTheFilterNarrows()
{
    QFETCH(int, printColumn);
    QFETCH(bool, descending);
    QFETCH(QString, search);
    QFETCH(QStringList, keys);
    ScratchDatabase scratch(DatabaseEngine::SQLite);
    const QString path = scratch.build({
        // No declared type: the key's kind is learnt from what it holds, as a link learns it.
        R"(create table "People" ("Id", "Name" text))",
        R"(insert into "People" values (1, 'Ann Lee'), (2, 'Bob Lee'), (3, 'Cy Lee'),
           (4, 'Dee Roe'))",
    });
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    RecordListModel model;
    QSignalSpy finished(&model, &RecordListModel::loadFinished);
    model.reload({path, "People", "Id"});
    QVERIFY(finished.wait(10000));
    QCOMPARE(model.keyKind(), ColumnKind::Numeric);
    const QDateTime day(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
    auto issued = std::make_shared<QHash<QString, IssueSummary>>();
    (*issued)["1"] = {2, day.addDays(1), {}, {}, {}};
    (*issued)["3"] = {1, day.addDays(2), {}, {}, {}};
    model.setIssued(issued);
    if (!search.isEmpty()) {
        RowFilter narrowed;
        narrowed.terms = searchTerms(search);
        model.setRowFilter(narrowed);
        QTRY_VERIFY(!model.isFiltering());
    }
    const QPersistentModelIndex held = model.index(model.positionOfKey("3"), 0);
    QSignalSpy reset(&model, &RecordListModel::modelReset);

    model.sort(1, Qt::DescendingOrder); // overtaken at once: only the later sort counts
    model.sort(model.printedColumn() + printColumn,
               descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QTRY_VERIFY(!model.isSorting() && !model.isFiltering());
    QStringList shown;
    for (int position = 0; position < model.rowCount(); ++position)
        shown << *model.keyText(position);
    QCOMPARE(shown, keys);
    QCOMPARE(model.keyText(held.row()), QStringLiteral("3"));
    QCOMPARE(reset.size(), 0);

    // A new summary moves the rows it changes.
    (*issued)["2"] = {5, day.addDays(3), {}, {}, {}};
    model.setIssued(std::make_shared<const QHash<QString, IssueSummary>>(*issued));
    QTRY_VERIFY(!model.isSorting() && !model.isFiltering());
    QCOMPARE(model.positionOfKey("2"), descending ? 0 : model.rowCount() - 1);
}

QTEST_GUILESS_MAIN(tst_RecordList)
#include "tst_RecordList.moc"
