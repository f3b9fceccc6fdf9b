#include "demo/DemoProject.h"

#include "common/FileNames.h"
#include "common/AtomicFile.h"
#include "common/SaveFile.h"
#include "demo/DemoBadges.h"
#include "project/ProjectFile.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace vm {
namespace {

const char* const FirstNames[] = {
    "Anna",  "Bernard", "Chloé",  "Dmitri", "Elena", "Farid",  "Grace",  "Hiroshi",
    "Ines",  "Jonas",   "Keiko",  "Lars",   "María", "Noah",   "Olga",   "Pierre",
    "Quinn", "Rosa",    "Søren",  "Tomás",  "Uma",   "Viktor", "Wen",    "Xavier",
    "Yara",  "Zoë",     "Łukasz", "Amélie", "Björn", "Chidi",  "Daniela"};
const char* const LastNames[] = {
    "Adams",    "Bauer",   "Castillo", "Dubois",   "Eriksen",    "Fischer", "García",
    "Hoffmann", "Ivanova", "Jensen",   "Kowalski", "López",      "Müller",  "Nakamura",
    "O'Brien",  "Petrov",  "Quintero", "Rossi",    "Schneider",  "Tanaka",  "Usman",
    "Varga",    "Weber",   "Xu",       "Yilmaz",   "Zimmermann", "Åberg",   "Brandt",
    "Coelho",   "Dahl",    "Engel",    "Ferreira", "Gómez"};
const char* const Titles[] = {"Engineer", "Accountant",   "Nurse",       "Technician",
                              "Manager",  "Receptionist", "Analyst",     "Designer",
                              "Driver",   "Chemist",      "Electrician", "Security Officer"};
struct Department {
    int id;
    const char* name;
    const char* site;
    const char* phone;
};
const Department Departments[] = {
    {10, "Administration", "Head Office, Floor 3", "+41 44 555 0110"},
    {20, "Research", "Campus North, Building B", "+41 44 555 0120"},
    {30, "Production", "Works 2, Hall 7", "+41 44 555 0130"},
    {40, "Logistics", "Depot East", "+41 44 555 0140"},
    {50, "Health Service", "Head Office, Floor 1", "+41 44 555 0150"},
    {60, "Finance", "Head Office, Floor 4", "+41 44 555 0160"},
    {70, "Facilities", "Works 1", "+41 44 555 0170"},
};

template <class T, std::size_t N> const T& pick(const T (&items)[N], quint32 n)
{
    return items[n % N];
}

// The database row and the person's department name must agree.
const Department& departmentOf(int empNo)
{
    const quint32 n = quint32(empNo);
    return pick(Departments, n * 5 + n / 7);
}

// Which picture file a person has: most .jpg, some only .jpeg or .bmp, a few none.
QString pictureSuffix(int empNo, int salt)
{
    const int n = empNo + salt;
    if (n % 41 == 0)
        return {};
    if (n % 13 == 0)
        return QStringLiteral(".bmp");
    if (n % 11 == 0)
        return QStringLiteral(".jpeg");
    return QStringLiteral(".jpg");
}

// Film grain, so the generated photographs compress and decode like real ones rather than like
// flat drawings. One tile serves every photograph.
const QImage& grain(QSize size)
{
    static QImage tile;
    if (tile.size() != size) {
        tile = QImage(size, QImage::Format_ARGB32_Premultiplied);
        QRandomGenerator random(42);
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                const int v = int(random.bounded(256));
                line[x] = qPremultiply(qRgba(v, v, v, 40));
            }
        }
    }
    return tile;
}

QImage portrait(const DemoPerson& person, QSize size)
{
    QRandomGenerator random(quint32(person.empNo) * 7919u);
    QImage image(size, QImage::Format_RGB32);
    const QColor background = QColor::fromHsv(int(random.bounded(360)), 40, 235);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width(), h = size.height();
    static const QColor skins[] = {QColor(255, 224, 196), QColor(234, 192, 160),
                                   QColor(198, 134, 96), QColor(141, 85, 54), QColor(92, 58, 38)};
    static const QColor hairs[] = {QColor(40, 30, 20), QColor(110, 70, 30), QColor(200, 160, 90),
                                   QColor(150, 150, 150), QColor(20, 20, 20)};
    const QColor skin = skins[random.bounded(5)];
    const QColor hair = hairs[random.bounded(5)];
    const QColor shirt = QColor::fromHsv(int(random.bounded(360)), 120, 140);

    p.setPen(Qt::NoPen);
    p.setBrush(shirt);
    p.drawEllipse(QRectF(w * 0.08, h * 0.72, w * 0.84, h * 0.6)); // shoulders
    p.setBrush(skin.darker(110));
    p.drawRect(QRectF(w * 0.42, h * 0.55, w * 0.16, h * 0.2)); // neck
    p.setBrush(hair);
    p.drawEllipse(QRectF(w * 0.24, h * 0.12, w * 0.52, h * 0.5)); // hair behind the head
    p.setBrush(skin);
    p.drawEllipse(QRectF(w * 0.28, h * 0.2, w * 0.44, h * 0.45)); // face
    // Shaded eye sockets, a nose and brows: the light and dark the face finder of the pre-print
    // check looks for (a flat drawing under film grain passes for a face only half the time).
    for (const double x : {0.415, 0.585}) {
        QRadialGradient socket(QPointF(w * x, h * 0.395), w * 0.08);
        socket.setColorAt(0, skin.darker(128));
        socket.setColorAt(1, skin);
        p.setBrush(socket);
        p.drawEllipse(QRectF(w * (x - 0.08), h * 0.345, w * 0.16, h * 0.1));
    }
    p.setBrush(skin.darker(125));
    p.drawEllipse(QRectF(w * 0.46, h * 0.47, w * 0.08, h * 0.03)); // nose
    p.setBrush(QColor(40, 40, 60));
    p.drawEllipse(QRectF(w * 0.39, h * 0.38, w * 0.05, h * 0.03));
    p.drawEllipse(QRectF(w * 0.56, h * 0.38, w * 0.05, h * 0.03));
    p.setPen(QPen(hair.darker(130), w * 0.02, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w * 0.37, h * 0.355), QPointF(w * 0.46, h * 0.35)); // brows
    p.drawLine(QPointF(w * 0.54, h * 0.35), QPointF(w * 0.63, h * 0.355));
    p.setPen(QPen(skin.darker(175), w * 0.02, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(w * 0.42, h * 0.48, w * 0.16, h * 0.07), 200 * 16, 140 * 16); // smile
    p.setPen(Qt::NoPen);
    p.setPen(QColor(0, 0, 0, 90));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(h * 0.04));
    p.setFont(font);
    p.drawText(QRectF(0, h * 0.93, w * 0.97, h * 0.06), Qt::AlignRight,
               QString::number(person.empNo));
    p.drawImage(0, 0, grain(size));
    return image;
}

QImage signature(const DemoPerson& person)
{
    QRandomGenerator random(quint32(person.empNo) * 104729u);
    QImage image(600, 150, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    double x = 20, y = 90;
    path.moveTo(x, y);
    const int strokes = 8 + int(random.bounded(6));
    for (int i = 0; i < strokes; ++i) {
        const double nx = x + 25 + random.bounded(45.0);
        const double ny = 40 + random.bounded(80.0);
        path.cubicTo(x + 10, y - 60 + random.bounded(40.0), nx - 10, ny + 60 - random.bounded(40.0),
                     nx, ny);
        x = nx;
        y = ny;
    }
    p.setPen(QPen(QColor(20, 30, 110), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.drawLine(QPointF(30, 125), QPointF(std::min(x, 580.0), 128));
    return image;
}

void drawEmblem(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 92, 150));
    p.drawEllipse(
        r.adjusted(r.width() * 0.02, r.height() * 0.02, -r.width() * 0.02, -r.height() * 0.02));
    p.setBrush(QColor(250, 190, 40));
    QPainterPath leaf;
    const double x = r.left(), y = r.top(), w = r.width(), h = r.height();
    leaf.moveTo(x + w * 0.5, y + h * 0.15);
    leaf.cubicTo(x + w * 0.83, y + h * 0.33, x + w * 0.75, y + h * 0.69, x + w * 0.5, y + h * 0.85);
    leaf.cubicTo(x + w * 0.25, y + h * 0.69, x + w * 0.17, y + h * 0.33, x + w * 0.5, y + h * 0.15);
    p.drawPath(leaf);
    p.setPen(QPen(QColor(0, 92, 150), w * 0.03));
    p.drawLine(QPointF(x + w * 0.5, y + h * 0.25), QPointF(x + w * 0.5, y + h * 0.79));
}

QImage logo()
{
    QImage image(480, 480, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A white rim keeps the emblem apart from a band of its own colour.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(4, 4, 472, 472));
    drawEmblem(p, QRectF(24, 24, 432, 432));
    return image;
}

bool savePicture(const QImage& image, const QString& path, QString* error)
{
    const QByteArray format = path.endsWith(QLatin1String(".bmp"))   ? "BMP"
                              : path.endsWith(QLatin1String(".png")) ? "PNG"
                                                                     : "JPEG";
    const Status saved = saveImageAtomically(image, path, format.constData(), 85);
    if (!saved)
        *error = saved.error();
    return saved.ok();
}

bool createDatabase(const QString& path, int people, QString* error)
{
    QFile::remove(path);
    const QString name =
        QStringLiteral("demo-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        auto run = [&](const QString& sql) {
            if (ok && !q.exec(sql)) {
                *error =
                    QStringLiteral("Cannot create the demo database: %1").arg(q.lastError().text());
                ok = false;
            }
        };
        if (!ok)
            *error =
                QStringLiteral("Cannot create the demo database: %1").arg(db.lastError().text());
        run(QStringLiteral(
            "CREATE TABLE Department (DeptID INTEGER PRIMARY KEY, DeptName VARCHAR(40), "
            "Site VARCHAR(60), Phone VARCHAR(20))"));
        run(QStringLiteral(
            "CREATE TABLE Employee (EmpNo INTEGER PRIMARY KEY, FirstName VARCHAR(30), "
            "LastName VARCHAR(30), Title VARCHAR(40), DeptID INTEGER, HireDate DATE, "
            "ValidUntil DATE, Email VARCHAR(80))"));
        if (ok)
            db.transaction();
        if (ok && q.prepare(QStringLiteral("INSERT INTO Department VALUES (?, ?, ?, ?)"))) {
            for (const Department& d : Departments) {
                q.addBindValue(d.id);
                q.addBindValue(QString::fromUtf8(d.name));
                q.addBindValue(QString::fromUtf8(d.site));
                q.addBindValue(QString::fromUtf8(d.phone));
                ok = ok && q.exec();
            }
        }
        if (ok &&
            q.prepare(QStringLiteral("INSERT INTO Employee VALUES (?, ?, ?, ?, ?, ?, ?, ?)"))) {
            for (int empNo = 1; empNo <= people && ok; ++empNo) {
                const DemoPerson person = demoPerson(empNo);
                const QDate hired = QDate(2005, 1, 10).addDays((empNo * 97) % 6500);
                q.addBindValue(empNo);
                q.addBindValue(person.firstName);
                q.addBindValue(person.lastName);
                q.addBindValue(person.title);
                q.addBindValue(departmentOf(empNo).id);
                q.addBindValue(hired.toString(Qt::ISODate));
                q.addBindValue(QDate(2027, 12, 31).toString(Qt::ISODate));
                q.addBindValue(QStringLiteral("%1.%2@example.org")
                                   .arg(person.firstName.toLower(), person.lastName.toLower()));
                ok = q.exec();
            }
        }
        if (!ok && error->isEmpty())
            *error = QStringLiteral("Cannot fill the demo database: %1").arg(q.lastError().text());
        if (ok)
            ok = db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

DemoPerson demoPerson(int empNo, bool everyPicture)
{
    const quint32 n = quint32(empNo);
    DemoPerson person;
    person.empNo = empNo;
    person.firstName = QString::fromUtf8(pick(FirstNames, n * 7 + 3));
    person.lastName = QString::fromUtf8(pick(LastNames, n * 11 + n / 5));
    person.title = QString::fromUtf8(pick(Titles, n * 3 + 1));
    person.department = QString::fromUtf8(departmentOf(empNo).name);
    person.photoSuffix = everyPicture ? QStringLiteral(".jpg") : pictureSuffix(empNo, 0);
    person.signSuffix = everyPicture ? QStringLiteral(".jpg") : pictureSuffix(empNo, 5);
    return person;
}

QString createDemoProject(const QString& folder, const DemoOptions& options, QString* error)
{
    const QString root = withTrailingSlash(QDir(folder).absolutePath());
    StoredSettings s;
    s.ProjectName = QStringLiteral("Demo");
    s.ProjectDir = root + QStringLiteral("data/");
    s.BadgeDir = root + QStringLiteral("Badges/");
    s.LogoDir = root + QStringLiteral("Logo/");
    s.PhotoDir = root + QStringLiteral("Photos/");
    s.SignDir = root + QStringLiteral("Signs/");
    for (const QString& dir : {s.ProjectDir, s.BadgeDir, s.LogoDir, s.PhotoDir, s.SignDir}) {
        if (!QDir().mkpath(dir)) {
            *error = QStringLiteral("Cannot create the folder %1").arg(dir);
            return {};
        }
    }
    s.DatabasePath = s.ProjectDir + QStringLiteral("demo.sqlite");
    s.MasterTable = QStringLiteral("Employee");
    s.UniqueField = QStringLiteral("EmpNo");
    s.DataTables = {QStringLiteral("Department")};
    s.Relations = {QStringLiteral("Employee.[DeptID]=Department.[DeptID]")};
    s.PlaceImages = 1;
    s.PhotoField = QStringLiteral("Employee.EmpNo");
    s.SignField = QStringLiteral("Employee.EmpNo");

    if (!createDatabase(s.DatabasePath, options.people, error))
        return {};

    const QString logoPath = s.LogoDir + QStringLiteral("logo.png");
    if (options.pictures) {
        if (!savePicture(logo(), logoPath, error))
            return {};
        for (int empNo = 1; empNo <= options.people; ++empNo) {
            const DemoPerson person = demoPerson(empNo, options.everyPicture);
            const QString name = QString::number(empNo);
            if (!person.photoSuffix.isEmpty() &&
                !savePicture(portrait(person, options.photoSize),
                             s.PhotoDir + name + person.photoSuffix, error))
                return {};
            if (!person.signSuffix.isEmpty() &&
                !savePicture(signature(person), s.SignDir + name + person.signSuffix, error))
                return {};
        }
    }

    s.Badges = writeDemoBadges(s, error);
    if (s.Badges.isEmpty())
        return {};
    const QString projectFile = s.ProjectDir + QStringLiteral("Demo.Prj");
    const Status written = WriteProjectFile(s, projectFile);
    *error = written.error();
    return written ? projectFile : QString();
}

Status writeDemoCsv(const QString& projectFolder, int people, const QString& csvPath)
{
    const QString root = withTrailingSlash(QDir(projectFolder).absolutePath());
    auto quoted = [](QString text) {
        return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    };
    QString csv = QStringLiteral("EmpNo,FirstName,LastName,Title,DeptName,Photo,Sign\n");
    for (int empNo = 1; empNo <= people; ++empNo) {
        const DemoPerson p = demoPerson(empNo, true);
        csv += QStringList{QString::number(empNo),
                           quoted(p.firstName),
                           quoted(p.lastName),
                           quoted(p.title),
                           quoted(p.department),
                           quoted(root + QStringLiteral("Photos/%1.jpg").arg(empNo)),
                           quoted(root + QStringLiteral("Signs/%1.jpg").arg(empNo))}
                   .join(QLatin1Char(',')) +
               QLatin1Char('\n');
    }
    return saveFileAtomically(csvPath, csv.toUtf8());
}

} // namespace vm
