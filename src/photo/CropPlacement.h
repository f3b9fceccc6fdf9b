#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>

namespace vm {

// Where a face sits in a badge photograph: the eyes at this share of the height from the top, the
// face box (brows to chin, as the face finder gives it) this share of the height.
inline constexpr double EyeLineFromTop = 0.40;
inline constexpr double FaceShareOfHeight = 0.60;
// Where the eyes lie in the face finder's box, from its top.
inline constexpr double EyesInFaceBox = 0.38;

// The crop of a picture of `picture` pixels for a frame of `aspect` (width / height): the face
// placed as above, or, without a face, the largest crop at the centre. The crop keeps the aspect
// and stays inside the picture: a face too large for that gets the largest crop there is, moved
// as little as the picture's edges demand. An aspect of zero or less takes the whole picture.
QRect cropForFace(QSize picture, double aspect, const std::optional<QRectF>& face);

} // namespace vm
