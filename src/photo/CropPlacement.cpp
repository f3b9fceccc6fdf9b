#include "photo/CropPlacement.h"

#include <algorithm>
#include <cmath>

namespace vm {

QRect cropForFace(QSize picture, double aspect, const std::optional<QRectF>& face)
{
    const QRect whole(QPoint(0, 0), picture);
    if (picture.isEmpty() || !(aspect > 0) || !std::isfinite(aspect))
        return whole;
    // The largest crop of the aspect the picture holds.
    double width = std::min<double>(picture.width(), picture.height() * aspect);
    double height = width / aspect;
    double centreX = picture.width() / 2.0;
    double top = (picture.height() - height) / 2;
    if (face && face->isValid()) {
        const double wanted = face->height() / FaceShareOfHeight;
        if (wanted < height) {
            height = wanted;
            width = height * aspect;
        }
        centreX = face->center().x();
        top = face->top() + face->height() * EyesInFaceBox - height * EyeLineFromTop;
    }
    const int w = std::clamp(int(std::lround(width)), 1, picture.width());
    const int h = std::clamp(int(std::lround(height)), 1, picture.height());
    const int x = std::clamp(int(std::lround(centreX - width / 2)), 0, picture.width() - w);
    const int y = std::clamp(int(std::lround(top)), 0, picture.height() - h);
    return {x, y, w, h};
}

} // namespace vm
