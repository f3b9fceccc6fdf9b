#pragma once

// For suites that link vellumark_demo: the demo project, and the main window opened on it.

#include "app/mainMdi.h"
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "project/ProjectSettings.h"
#include "support/PdfText.h"
#include "support/ScriptedDialogs.h"

#include <QPrinterInfo>
#include <QTest>

#include <memory>

namespace vm::test {

// A demo project in `folder` (its file's path; empty on failure, said as a warning). A person
// named by `orphan` loses his department's row, so linking him fails for want of a child row.
inline QString demoProject(const QString& folder, const DemoOptions& options, int orphan = 0)
{
    QString error;
    const QString project = createDemoProject(folder, options, &error);
    if (project.isEmpty()) {
        qWarning("demo project: %s", qPrintable(error));
        return {};
    }
    DatabaseConnection db;
    if (orphan > 0 &&
        (!db.OpenProjectDatabase(folder + QStringLiteral("/data/demo.sqlite")) ||
         db.execute(QStringLiteral("update Employee set DeptID = 99 where EmpNo = %1").arg(orphan))
                 .outcome != DatabaseConnection::Outcome::Ok)) {
        qWarning("demo project: cannot take person %d's department away", orphan);
        return {};
    }
    return project;
}

// A fresh main window, shown, with `project` open (none when empty) and the dialogs cleared;
// null when the project does not open.
inline std::unique_ptr<mainMdi> openMainWindow(ScriptedDialogs& dialogs,
                                               const QString& project = {})
{
    ProjectSettings::instance().reset();
    dialogs.clear();
    auto window = std::make_unique<mainMdi>(dialogs);
    window->resize(1400, 900);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    if (!project.isEmpty() && !window->openProjectFile(project))
        return nullptr;
    return window;
}

// Why printing from a window cannot be read back as a PDF here; empty when it can.
inline QString printingToPdfUnavailable()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        return QStringLiteral("a printer is installed here: printing would not go to a PDF file");
    return pdfToolsMissing();
}

} // namespace vm::test
