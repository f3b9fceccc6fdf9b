#pragma once

#include "badge/BadgeSide.h"
#include "common/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vm {

// The companion file "NAME.Lyt.json" beside a badge file holds what the badge file cannot: per
// side the stacking order and the properties of ElementProperties.h, each entry keyed by the
// element's kind and index as the badge file numbers them, with a check value (the caption,
// field reference, picture name or shape type) that must still match when it is read. The badge
// file stays as every reader of it expects; a badge that needs nothing more has no companion.

// The companion of a badge file; its name matched without regard to case when it exists.
QString badgeCompanionPath(const QString& badgePath);

// The companion document for a layout; none when the sides use nothing the badge file cannot
// hold. A back saved blank has nothing in it.
std::optional<QByteArray> companionDocument(const BadgeSide& front, const BadgeSide& back,
                                            bool blankBack);

// Gives the sides read from the badge file what their companion document holds. Entries whose
// element is gone or whose check value no longer matches (the badge file was changed by a
// program that does not know the companion) are left out; the result lists them in the
// operator's words, one line per element. Fails, changing nothing, on a document that is not a
// badge companion or comes from a newer version.
Result<QStringList> applyCompanion(const QByteArray& document, BadgeSide& front, BadgeSide& back);

} // namespace vm
