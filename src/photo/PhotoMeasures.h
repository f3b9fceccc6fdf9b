#pragma once

#include "photo/FaceFinder.h"

#include <QImage>
#include <QRectF>

#include <optional>

namespace vm {

// What a photograph looks like as it prints; the picture measured is the one printed, at the
// resolution it prints at (no more than the printer's), so the figures compare across files.
struct PhotoMeasures {
    // Variance of the Laplacian of the gray picture: how much fine detail there is. A blurred or
    // enlarged picture has little.
    double sharpness = 0;
    std::optional<QRectF> face; // in the measured picture's pixels
    // Of the face when one is found, else of the whole picture: mean gray level (0 to 255) and
    // the shares of nearly black (below 16) and nearly white (above 240) pixels.
    double brightness = 0;
    double darkShare = 0;
    double brightShare = 0;
};

PhotoMeasures measurePhoto(const QImage& picture, FaceFinder& finder);

} // namespace vm
