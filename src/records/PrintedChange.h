#pragma once

#include "common/Status.h"
#include "project/StoredSettings.h"
#include "records/IssuanceRecord.h"

#include <QHash>
#include <QString>

#include <memory>

namespace vm {

class RecordKey;
class RecordLinker;
struct BadgeLayoutRead;

// The badge name a print is recorded under: "Staff" for "Staff", "Staff.Lyt" or ".../Staff.Lyt".
QString recordedLayoutName(const QString& badge);

// Whether people's badges would print differently now than at their last print: the values and
// pictures they have now no longer give the fingerprint of that print, made with the badge and
// sides that print used. Each badge file is read once.
class PrintedChangeCheck {
public:
    explicit PrintedChangeCheck(StoredSettings project);
    ~PrintedChangeCheck();

    // True when changed; a failure says why the person can no longer be compared (the record does
    // not link, the badge of the last print cannot be read).
    Result<bool> changed(RecordLinker& linker, const RecordKey& key, const IssueSummary& last);

private:
    StoredSettings m_project;
    QHash<QString, std::shared_ptr<const BadgeLayoutRead>> m_layouts;
};

} // namespace vm
