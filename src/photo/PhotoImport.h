#pragma once

#include "project/StoredSettings.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace vm {

// Brings a folder of photographs into a project: each picture file (.jpg, .jpeg, .png or .bmp,
// the ending in any letter case) whose name without its ending is exactly a person's key or photo
// value is cropped around the face to the badge's photo frame and stored as a photograph is
// saved (storePhoto): under the photo value, the old one kept as NAME.previous.jpg.
struct PhotoImportRequest {
    QString folder;
    bool dryRun = false;  // report what would happen, write nothing
    bool replace = false; // replace photographs people have; otherwise they are kept
    QString badge;        // whose photo frame; empty: the first of the project's that shows one
    int jobs = 0;         // threads decoding and cropping; 0: one a core
    // Set from any thread: no further photograph is written. Those written stay, each whole.
    const std::atomic<bool>* cancel = nullptr;
};

struct PhotoImportReport {
    QString unusable; // why nothing could be done (project, database, folder); empty otherwise
    QSizeF frameTwips;
    QString frameFrom; // the badge whose frame shaped the crops, or why a usual frame was taken

    struct Match {
        QString file; // the file in the folder
        QString key;  // the person's key
        QString into; // the photograph written (or to be written, or kept)
        QString note; // "no face found: cropped at the centre", the value written ...
    };
    QList<Match> imported;    // written (in a dry run: to be written)
    QList<Match> kept;        // the person has a photograph and replacing was not asked for
    QStringList unmatched;    // files no single person matches, with why when not plain
    QStringList duplicates;   // a person with the files that match them, none of them taken
    QStringList withoutPhoto; // keys of people who still have no photograph
    QStringList failures;     // a file or person and why it could not be done
    QStringList notDone;      // files left when the import was cancelled

    bool failed() const { return !unusable.isEmpty() || !failures.isEmpty(); }
    bool cancelled() const { return !notDone.isEmpty(); }
};

// `project` is the one whose database folder is set (DatabaseConnection::setProjectFolder).
// `progress` hears how many of the matched files are done, of how many, on the calling thread.
PhotoImportReport importPhotos(const StoredSettings& project, const PhotoImportRequest& request,
                               const std::function<void(int done, int total)>& progress = {});

// The report in the operator's words, one line each, grouped under headings.
QStringList describeImport(const PhotoImportReport& report, bool dryRun);

} // namespace vm
