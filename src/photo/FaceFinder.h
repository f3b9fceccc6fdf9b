#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

namespace vm {

// The folder the face cascade is read from: VELLUMARK_FACE_CASCADES when set, else the folder of
// OpenCV's cascades found when the program was built.
QString faceCascadeFolder();

// How hard to look. A badge photograph shows one large face; a picture someone brings may show
// a smaller one, which costs more scales to find.
struct FaceSearch {
    double smallestShare = 0.3; // of the picture's smaller side: smaller faces are not looked for
    int detectionSide = 100;    // the picture's smaller side is reduced to this many pixels
    double step = 1.1;          // each size of face looked for is this much larger than the last
};

// A badge photograph's face fills its frame: found as surely in 100 pixels as in 300, at a tenth
// of the time. Steps of 1.2 missed 3 of the demo's 200 drawn faces, and 1.15 one in 1,000 (a
// pale face found only at sizes in between); 1.1 finds them all for a seventh more time.
inline constexpr FaceSearch BadgePhotoSearch{};
inline constexpr FaceSearch BroughtPhotoSearch{0.08, 360, 1.1};

// Finds faces with OpenCV's cascade classifier. Loading the cascade takes a while and a classifier
// must not be used by two threads at once: keep one a thread (threadFaceFinder()).
class FaceFinder {
public:
    FaceFinder();
    ~FaceFinder();
    FaceFinder(const FaceFinder&) = delete;
    FaceFinder& operator=(const FaceFinder&) = delete;

    // Whether the cascade loaded; if not, error() names the file and find() finds nothing.
    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // The face the finder is surest of, in the picture's pixels (the box from brows to chin); none
    // when none is found.
    std::optional<QRectF> find(const QImage& picture, FaceSearch search = BadgePhotoSearch);

private:
    struct Cascade;
    std::unique_ptr<Cascade> m_cascade;
    QString m_error;
};

// This thread's finder, loaded on first use.
FaceFinder& threadFaceFinder();

} // namespace vm
