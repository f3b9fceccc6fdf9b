#pragma once

// The GUI benchmarks' starting point: a demo project with a picture for every person, open in a
// main window with the Staff badge chosen and the record browser filled.
#include "app/mainMdi.h"
#include "demo/DemoProject.h"
#include "project/ProjectSettings.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"

#include "BenchSupport.h"

#include <QTest>

#include <cstdio>

namespace vm::bench {

// Makes the demo in `folder`; the project file, or empty after saying why on stderr.
inline QString makeDemoProject(const QString& folder, int people, const char* bench)
{
    QString error;
    DemoOptions options;
    options.people = people;
    options.everyPicture = true;
    const QString project = createDemoProject(folder, options, &error);
    if (project.isEmpty())
        std::fprintf(stderr, "%s: %s\n", bench, qPrintable(error));
    return project;
}

// Shows the window, opens the project and the Staff badge, and waits for the list; null on failure.
inline frmData* openDemoBrowser(mainMdi& window, const QString& project)
{
    window.resize(1400, 900);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !window.openProjectFile(project))
        return nullptr;
    window.openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    window.mnuReclist->trigger();
    auto* browser = window.findChild<frmData*>(QStringLiteral("frmData"));
    if (!browser || !waitFor([&] { return !browser->records()->isLoading(); }))
        return nullptr;
    return browser;
}

} // namespace vm::bench
