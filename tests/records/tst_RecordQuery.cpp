// Invariant: the record and picture statements are exactly the texts the system has always sent
// (blanks included), whatever the number of child tables and the kind of the key.
#include "records/RecordQuery.h"

#include <QTest>

using namespace vm;

namespace {

StoredSettings staff()
{
    StoredSettings s;
    s.MasterTable = QStringLiteral("Staff");
    s.UniqueField = QStringLiteral("StaffID");
    s.PhotoField = s.SignField = NoneField;
    return s;
}

} // namespace

class tst_RecordQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordStatement_data();
    void recordStatement();
    void pictureStatement_data();
    void pictureStatement();
};

void tst_RecordQuery::recordStatement_data()
{
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QStringList>("relations");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sql");

    const int numeric = int(ColumnKind::Numeric), text = int(ColumnKind::Text),
              other = int(ColumnKind::Other);
    QTest::newRow("no child tables") << QStringList{} << QStringList{} << numeric << "17"
                                     << "select Staff.* from Staff where Staff.[StaffID]=17";
    QTest::newRow("one child: two blanks after AND")
        << QStringList{"Dept"} << QStringList{"Rel"} << numeric << "17"
        << "select Staff.*,Dept.* from Staff,Dept where Rel AND  Staff.[StaffID]=17";
    QTest::newRow("two children") << QStringList{"Dept", "Site"} << QStringList{"R1", "R2"}
                                  << numeric << "17"
                                  << "select Staff.*,Dept.*,Site.* from Staff,Dept,Site where R1 "
                                     "AND R2 AND  Staff.[StaffID]=17";
    QTest::newRow("text key") << QStringList{} << QStringList{} << text << "A-12"
                              << "select Staff.* from Staff where Staff.[StaffID]='A-12'";
    QTest::newRow("other kind with a child: master table alone")
        << QStringList{"Dept"} << QStringList{"Rel"} << other << "17"
        << "select Staff.*,Dept.* from Staff";
    QTest::newRow("a relation missing")
        << QStringList{"Dept", "Site"} << QStringList{"R1"} << numeric << "1"
        << "select Staff.*,Dept.*,Site.* from Staff,Dept where R1 AND  Staff.[StaffID]=1";
}

void tst_RecordQuery::recordStatement()
{
    QFETCH(QStringList, children);
    QFETCH(QStringList, relations);
    QFETCH(int, kind);
    QFETCH(QString, key);
    QFETCH(QString, sql);
    StoredSettings s = staff();
    s.DataTables = children;
    s.Relations = relations;
    const RecordStatements statements = buildRecordStatements(s, key, ColumnKind(kind));
    QCOMPARE(statements.recordSql, sql);
    QVERIFY(statements.pictureSql.isEmpty());
}

void tst_RecordQuery::pictureStatement_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("sql");
    const QString rest = QStringLiteral(" From Staff,Dept where Rel AND  Staff.[StaffID]=17");
    QTest::newRow("both") << "Staff.Photo"
                          << "Dept.Sign"
                          << "Select Staff.Photo, Dept.Sign" + rest;
    QTest::newRow("photo only") << "Staff.Photo"
                                << "<None>"
                                << "Select Staff.Photo" + rest;
    QTest::newRow("neither") << "<None>"
                             << "<None>" << QString();
    QTest::newRow("empty counts as none") << ""
                                          << "Staff.Sign"
                                          << "Select Staff.Sign" + rest;
}

void tst_RecordQuery::pictureStatement()
{
    QFETCH(QString, photo);
    QFETCH(QString, sign);
    QFETCH(QString, sql);
    StoredSettings s = staff();
    s.DataTables = {QStringLiteral("Dept")};
    s.Relations = {QStringLiteral("Rel")};
    s.PhotoField = photo;
    s.SignField = sign;
    QCOMPARE(buildRecordStatements(s, QStringLiteral("17"), ColumnKind::Numeric).pictureSql, sql);
}

QTEST_GUILESS_MAIN(tst_RecordQuery)
#include "tst_RecordQuery.moc"
