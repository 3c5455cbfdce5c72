#pragma once

#include <QRect>

#include <memory>

namespace cv {
class Mat;
}

// Tells whether a region of the full-size picture shows a person, with
// OpenCV's HOG people detector and its built-in coefficients (nothing is
// downloaded). Used only in person-only mode, once per object every half
// second until confirmed, so its cost stays off the common path. The HOG
// detector computes in floating point: its answers may differ between
// processors in borderline cases. Not thread-safe.
namespace vigilux::detection {

class PersonConfirmer final {
public:
    PersonConfirmer();
    ~PersonConfirmer();
    PersonConfirmer(const PersonConfirmer&) = delete;
    PersonConfirmer& operator=(const PersonConfirmer&) = delete;

    // `luma` is the full-size luma of `region` (in frame pixels) with a
    // margin around the object already included.
    bool isPerson(const cv::Mat& luma);

    // The region to cut around an object's box: a margin for the detector's
    // window, clipped to the frame.
    static QRect regionAround(const QRect& box, const QSize& frame);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vigilux::detection
