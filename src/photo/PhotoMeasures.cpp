#include "photo/PhotoMeasures.h"

#include <opencv2/imgproc.hpp>

namespace vm {

PhotoMeasures measurePhoto(const QImage& picture, FaceFinder& finder)
{
    PhotoMeasures measures;
    if (picture.isNull())
        return measures;
    const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                       size_t(gray.bytesPerLine()));
    cv::Mat laplacian;
    cv::Laplacian(view, laplacian, CV_32F);
    cv::Scalar mean, deviation;
    cv::meanStdDev(laplacian, mean, deviation);
    measures.sharpness = deviation[0] * deviation[0];

    measures.face = finder.find(gray);
    cv::Rect region(0, 0, view.cols, view.rows);
    if (measures.face) {
        const QRect box = measures.face->toAlignedRect() & QRect(0, 0, view.cols, view.rows);
        if (!box.isEmpty())
            region = cv::Rect(box.x(), box.y(), box.width(), box.height());
    }
    const cv::Mat judged = view(region);
    measures.brightness = cv::mean(judged)[0];
    cv::Mat dark, bright;
    cv::compare(judged, 16, dark, cv::CMP_LT);
    cv::compare(judged, 240, bright, cv::CMP_GT);
    const double pixels = double(judged.total());
    measures.darkShare = cv::countNonZero(dark) / pixels;
    measures.brightShare = cv::countNonZero(bright) / pixels;
    return measures;
}

} // namespace vm
