#include "detection/PersonConfirmer.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <vector>

namespace vigilux::detection {

namespace {
// The people detector's window is 64 x 128 with a person about 96 high.
constexpr int kMinHeight = 160;
} // namespace

struct PersonConfirmer::Impl {
    cv::HOGDescriptor hog;
};

PersonConfirmer::PersonConfirmer()
    : m_impl(std::make_unique<Impl>()) {
    m_impl->hog.setSVMDetector(cv::HOGDescriptor::getDefaultPeopleDetector());
}

PersonConfirmer::~PersonConfirmer() = default;

QRect PersonConfirmer::regionAround(const QRect& box, const QSize& frame) {
    const int mx = box.width() / 2 + 8;
    const int my = box.height() / 4 + 8;
    return box.adjusted(-mx, -my, mx, my).intersected(QRect(QPoint(0, 0), frame));
}

bool PersonConfirmer::isPerson(const cv::Mat& luma) {
    if (luma.empty())
        return false;
    cv::Mat view = luma;
    // A far person is smaller than the window: enlarge the region to fit.
    if (view.rows < kMinHeight || view.cols < 64) {
        const double scale = std::max(double(kMinHeight) / view.rows, 80.0 / view.cols);
        cv::resize(luma, view, cv::Size(), scale, scale, cv::INTER_LINEAR);
    }
    std::vector<cv::Rect> found;
    m_impl->hog.detectMultiScale(view, found, 0.0, cv::Size(8, 8), cv::Size(16, 16), 1.05, 2.0);
    return !found.empty();
}

} // namespace vigilux::detection
