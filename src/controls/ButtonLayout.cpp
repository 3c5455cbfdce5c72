#include "controls/ButtonLayout.h"

#include <algorithm>

namespace vigilux::controls::ButtonLayout {

namespace {

QRect centred(const QRect& area, const QSize& size) {
    return {area.x() + (area.width() - size.width()) / 2,
            area.y() + (area.height() - size.height()) / 2, size.width(), size.height()};
}

} // namespace

Result place(const QRect& content, const QSize& captionSize, const QSize& pictureSize,
             int picturePosition) {
    const bool hasCaption = !captionSize.isEmpty();
    const bool hasPicture = !pictureSize.isEmpty();
    if (!hasCaption && !hasPicture)
        return {};
    if (!hasCaption)
        return {centred(content, pictureSize), {}};
    if (!hasPicture)
        return {{}, centred(content, captionSize)};

    const bool vertical = picturePosition == 0 || picturePosition == 3;
    const QSize block = vertical ? QSize(std::max(captionSize.width(), pictureSize.width()),
                                         captionSize.height() + Gap + pictureSize.height())
                                 : QSize(captionSize.width() + Gap + pictureSize.width(),
                                         std::max(captionSize.height(), pictureSize.height()));
    const QRect all = centred(content, block);
    Result r;
    if (vertical) {
        const QRect top(all.x(), all.y(), all.width(), 0);
        const bool pictureFirst = picturePosition == 0;
        const QSize first = pictureFirst ? pictureSize : captionSize;
        const QSize second = pictureFirst ? captionSize : pictureSize;
        const QRect firstRect(all.x() + (all.width() - first.width()) / 2, top.y(), first.width(),
                              first.height());
        const QRect secondRect(all.x() + (all.width() - second.width()) / 2,
                               top.y() + first.height() + Gap, second.width(), second.height());
        r.picture = pictureFirst ? firstRect : secondRect;
        r.caption = pictureFirst ? secondRect : firstRect;
    } else {
        const bool pictureFirst = picturePosition != 2;
        const QSize first = pictureFirst ? pictureSize : captionSize;
        const QSize second = pictureFirst ? captionSize : pictureSize;
        const QRect firstRect(all.x(), all.y() + (all.height() - first.height()) / 2, first.width(),
                              first.height());
        const QRect secondRect(all.x() + first.width() + Gap,
                               all.y() + (all.height() - second.height()) / 2, second.width(),
                               second.height());
        r.picture = pictureFirst ? firstRect : secondRect;
        r.caption = pictureFirst ? secondRect : firstRect;
    }
    return r;
}

} // namespace vigilux::controls::ButtonLayout
