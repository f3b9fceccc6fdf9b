// A click on a row of the record browser until the badge shows: N clicks on different people
// (each with a photograph and a signature), each timed from the press until both views have
// painted. Prints the median and the 90th percentile of wall time and of the process's CPU time.
// With --rows, the table is filled up to that many people, copies of the demo's, and the people
// clicked get copies of their pictures: a list of a million rows without a million pictures.
//     bench_click_to_paint [--people 1000] [--rows N] [--clicks 60]
#include "app/mainMdi.h"
#include "records/frmData.h"
#include "render/BadgeCanvas.h"
#include "render/RenderingWindow.h"

#include "BenchSupport.h"
#include "DemoBrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vm;
using namespace vm::bench;

namespace {

// Counts the paints of a view that show the person clicked: linking runs aside, and a view may
// paint before the person arrives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const RenderingWindow& view)
        : m_view(view)
    {
    }
    int paints = 0;
    QString wanted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        const auto& record = m_view.record();
        if (event->type() == QEvent::Paint && record && record->key.text() == wanted)
            ++paints;
        return false;
    }

private:
    const RenderingWindow& m_view;
};

// Adds people up to `rows`, each a copy of one of the first `people`.
bool fillTable(const QString& databaseFile, int people, int rows)
{
    bool done = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(databaseFile);
        QSqlQuery insert(db);
        done = db.open() &&
               insert.exec(
                   QStringLiteral(
                       "insert into Employee (EmpNo, FirstName, LastName, Title, DeptID, HireDate, "
                       "ValidUntil, Email) with recursive n(k) as (select %1 union all select k + "
                       "1 from n "
                       "where k < %2) select k, FirstName, LastName, Title, DeptID, HireDate, "
                       "ValidUntil, "
                       "Email from n join Employee on EmpNo = (k - 1) % %3 + 1")
                       .arg(people + 1)
                       .arg(rows)
                       .arg(people));
        if (!done)
            std::fprintf(stderr, "bench_click_to_paint: %s\n",
                         qPrintable(insert.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return done;
}

// The copies of a person get his photograph and signature under their own key.
void givePictures(const QString& projectFolder, qint64 key, int people)
{
    const QString original = QString::number((key - 1) % people + 1);
    for (const char* folder : {"Photos", "Signs"}) {
        const QString dir =
            projectFolder + QLatin1Char('/') + QLatin1String(folder) + QLatin1Char('/');
        QFile::copy(dir + original + QStringLiteral(".jpg"),
                    dir + QString::number(key) + QStringLiteral(".jpg"));
    }
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int people = 1000;
    int clicks = 60;
    int totalRows = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--people"))
            people = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--clicks"))
            clicks = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rows"))
            totalRows = args[i + 1].toInt();
    }
    QTemporaryDir dir;
    const QString project =
        makeDemoProject(dir.filePath(QStringLiteral("demo")), people, "bench_click_to_paint");
    if (project.isEmpty())
        return 1;
    const QString projectFolder = dir.filePath(QStringLiteral("demo"));
    if (totalRows > people &&
        !fillTable(projectFolder + QStringLiteral("/data/demo.sqlite"), people, totalRows))
        return 1;

    QuietDialogs dialogs;
    mainMdi window(dialogs);
    frmData* browser = openDemoBrowser(window, project);
    if (!browser)
        return 1;
    PaintCounter front(*window.frmFront()), back(*window.frmBack());
    window.frmFront()->canvas()->installEventFilter(&front);
    window.frmBack()->canvas()->installEventFilter(&back);

    QTableView* list = browser->Lst;
    const int rows = list->model()->rowCount();
    auto rowOfClick = [rows](int i) {
        return 1 + int((qint64(i) * 7919) % std::max(1, rows - 2));
    };
    for (int i = 0; i < clicks; ++i) {
        const qint64 key = list->model()->index(rowOfClick(i), 0).data().toLongLong();
        if (key > people)
            givePictures(projectFolder, key, people);
    }
    std::vector<double> wall, cpu, pressed;
    int missed = 0;
    for (int i = 0; i < clicks; ++i) {
        const int row = rowOfClick(i);
        const QModelIndex index = list->model()->index(row, 1);
        list->scrollTo(index);
        QTest::qWait(5);
        const QPoint at = list->visualRect(index).center();
        front.wanted = back.wanted = list->model()->index(row, 0).data().toString();
        const int frontBefore = front.paints;
        const int backBefore = back.paints;
        QElapsedTimer clock;
        const double cpuStart = 1e3 * cpuSeconds();
        clock.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        pressed.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!waitFor([&] { return front.paints > frontBefore && back.paints > backBefore; }, 5000))
            ++missed;
        wall.push_back(double(clock.nsecsElapsed()) / 1e6);
        cpu.push_back(1e3 * cpuSeconds() - cpuStart);
        if (list->currentIndex().row() != row)
            ++missed;
    }
    std::printf("%d clicks on %d people: wall median %.1f ms, p90 %.1f ms; CPU median %.1f ms, "
                "p90 %.1f ms; the click itself (linking) median %.1f ms%s\n",
                clicks, rows, percentile(wall, 0.5), percentile(wall, 0.9), percentile(cpu, 0.5),
                percentile(cpu, 0.9), percentile(pressed, 0.5),
                missed ? qPrintable(QStringLiteral(" (%1 clicks not shown)").arg(missed)) : "");
    if (!dialogs.said.isEmpty())
        std::printf("said: %s\n", qPrintable(dialogs.said.join(QStringLiteral(" | "))));
    return 0;
}
