#pragma once

#include "common/Status.h"

#include <QSize>
#include <QString>

namespace vm {

struct DemoOptions {
    int people = 200;
    QSize photoSize{600, 800};
    bool pictures = true;      // photographs, signatures and the logo
    bool everyPicture = false; // every person gets a .jpg photograph and signature (benchmarks)
};

// Creates a ready project in `folder`: data/Demo.Prj, data/demo.sqlite (Employee with a
// Department child table), generated photographs and signatures (mostly .jpg, some .jpeg or
// .bmp, a few missing), a logo, and the badges "Staff" (landscape, two sides) and "Visitor"
// (portrait). Paths in the project are absolute. Returns the project file's path, or an empty
// text with *error set.
QString createDemoProject(const QString& folder, const DemoOptions& options, QString* error);

// What a generated person is called and where the picture files are; the demo's own tests and
// benchmarks use it to know what to expect.
struct DemoPerson {
    int empNo;
    QString firstName, lastName, title, department;
    QString photoSuffix; // ".jpg", ".jpeg", ".bmp", or empty when the file is missing
    QString signSuffix;
};
DemoPerson demoPerson(int empNo, bool everyPicture = false);

// The people as a CSV file (EmpNo, FirstName, LastName, Title, DeptName, Photo, Sign), so other
// tools can be given the same data.
Status writeDemoCsv(const QString& projectFolder, int people, const QString& csvPath);

} // namespace vm
