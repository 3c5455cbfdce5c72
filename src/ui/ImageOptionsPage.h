#pragma once

#include "ui/ProgramOptionsPage.h"

namespace vigilux::ui {

// "Изображение": JPEG or BMP, the imprint, JPEG quality, preview sync, and
// the buttons for the capture format, the camera's own settings and the HD
// resolutions (the window opens those).
class ImageOptionsPage final : public ProgramOptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageOptionsPage)

public:
    enum CaptureButton { FormatButton = 0, SourceButton = 1, ResolutionButton = 2 };

    explicit ImageOptionsPage(AppContext& context, QWidget* parent = nullptr);

signals:
    void captureButtonClicked(ImageOptionsPage::CaptureButton button);
};

} // namespace vigilux::ui
