#pragma once

#include "badge/BadgeSide.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

namespace vm {

// How a photograph is judged as it prints. The README's "Photo health" lists these figures.
struct PhotoLimits {
    // Pixels an inch of the frame: below this, pixels show on the card.
    static constexpr double LeastPpi = 200;
    // The resolution a photograph is judged at: what a card printer resolves of a photograph.
    static constexpr double JudgedPpi = 300;
    // Variance of the Laplacian of the gray picture at JudgedPpi (or its own resolution, if lower).
    static constexpr double LeastSharpness = 100;
    // Mean gray level of the face (of the whole picture when no face is found), 0 to 255.
    static constexpr double DarkBelow = 50;
    static constexpr double BrightAbove = 220;
    // Share of the face's pixels nearly black or nearly white.
    static constexpr double LargestClippedShare = 0.4;
    // The face's centre may lie this share of the width from the middle.
    static constexpr double LargestOffCentre = 0.15;
    // The eye line may lie this share of the height from 40 % down.
    static constexpr double LargestEyeLineShift = 0.2;
    // A face box nearer the left or right edge than this share of the picture's width is cut.
    static constexpr double EdgeMargin = 0.02;
    // ... nearer the top or bottom than this share of the face's height: the finder's box runs
    // from about the brows to the chin, so less room above it is a forehead cut off.
    static constexpr double HeadRoom = 0.1;
};

// The frame a record's photograph prints largest in, among the sides given (null: not checked);
// none when none shows it.
std::optional<QSizeF> printedPhotoFrame(const BadgeSide& side, const BadgeSide* otherSide);

// The photograph `file` of `person` (a record's name for the operator) as it prints in a frame
// of `frameTwips`: too low a resolution, no face, a face far off the middle or cut by the frame,
// blurred, too dark or too bright, or a picture that decodes with errors. One line a problem,
// each naming the person, the file and the figure; none for a file that cannot be read at all
// (linking the record says so).
QStringList photoProblems(const QString& person, const QString& file, QSizeF frameTwips);

} // namespace vm
