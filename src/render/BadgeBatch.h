#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vm {

// Renders one badge for many records of a project to a PDF (one page per side, each page the
// card's size) or to PNG files (one per side), linking each record exactly as the rendering
// windows do. A run that renders no side writes no file, so an earlier output survives it. Used
// by the vellumark-print command.
struct BadgeBatchRequest {
    enum class Sides { Front, Back, Both };

    QString projectFile;
    QString badge;    // a name in the project's badge folder, or a path to a badge file
    QStringList keys; // values of the unique field as the record list shows them
    bool allRecords = false;
    Sides sides = Sides::Both;
    int dpi = 300;  // PNG resolution; in a PDF, the resolution photographs are kept at
    QString output; // ".pdf" or ".png"
};

struct BadgeBatchResult {
    bool ok = false;       // every requested record was rendered and the output written
    bool unusable = false; // the project, badge, database or output could not be used
    int records = 0;       // records rendered
    int pages = 0;         // sides written
    QStringList files;     // files written, each exactly once; none when no side was rendered
};

// Messages for the operator (errors, skipped records, progress) go to `report`, one line each.
BadgeBatchResult renderBadgeBatch(const BadgeBatchRequest& request,
                                  const std::function<void(const QString&)>& report);

} // namespace vm
