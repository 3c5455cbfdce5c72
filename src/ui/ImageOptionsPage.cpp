#include "ui/ImageOptionsPage.h"

#include "controls/PushButton.h"
#include "controls/Slider.h"
#include "ui/SettingBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <array>

namespace vigilux::ui {

ImageOptionsPage::ImageOptionsPage(AppContext& context, QWidget* parent)
    : ProgramOptionsPage(context, QStringLiteral("Изображение"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(checkRow(7, QStringLiteral("Convert2JPG"),
                               QStringLiteral("сохранять в формате .JPG (иначе - .BMP)")));
    layout->addWidget(checkRow(8, QStringLiteral("InPrintDate"),
                               QStringLiteral("впечатывать на изображение дату и время")));

    auto* quality = new QHBoxLayout;
    quality->addWidget(new QLabel(QStringLiteral("качество JPEG"), this));
    auto* slider = new controls::Slider(this);
    slider->setObjectName(QStringLiteral("Slider1"));
    slider->setStep(5);
    SettingBinding<core::Settings>::bind(slider, QStringLiteral("JPGq"));
    slider->setFixedWidth(240);
    quality->addWidget(slider);
    quality->addStretch(1);
    layout->addLayout(quality);

    layout->addWidget(checkRow(9, QStringLiteral("SyncPreRate"),
                               QStringLiteral("синхронизировать просмотр с детектором")));

    static const std::array<const char*, 3> captions{"формат изображения", "настройки камеры",
                                                     "поддержка высокого разрешения"};
    static const std::array<const char*, 3> names{"formatButton", "cameraSettingsButton",
                                                  "resolutionsButton"};
    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* button = new controls::PushButton(
            QString::fromUtf8(captions[static_cast<std::size_t>(i)]), this);
        button->setObjectName(QLatin1String(names[static_cast<std::size_t>(i)]));
        button->setButtonStyle(3);
        button->setFixedSize(i == ResolutionButton ? 230 : 150, 26);
        buttons->addWidget(button);
        connect(button, &controls::PushButton::clicked, this,
                [this, i] { emit captureButtonClicked(static_cast<CaptureButton>(i)); });
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
}

} // namespace vigilux::ui
