#pragma once

#include "detection/DetectorSliders.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;

namespace vigilux {
struct AppContext;
}

namespace vigilux::core {
class DetectorValuesTarget;
class SettingsStorage;
} // namespace vigilux::core
namespace vigilux::controls {
class InfoTip;
class Slider;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

class CalibrationWindow;

// The "Детектор движения" window: which detector watches (the byte compare
// or the object detector, stored on OK), three sliders for the detector
// interval, the noise tolerance and the motion percent. Every move goes into the
// running detector at once (liveDetectorValues, then setDetectorValue); OK stores the
// sliders' values, Отмена puts the stored values back into the detector,
// the close box stores nothing and leaves the detector as it is. The
// context's detectorWindowOpen is set from construction until it closes by
// any means. Opened modally by the main window; the context, the settings
// storage and the detector values target must outlive it.
class DetectorSettingsWindow final : public QDialog, public detection::DetectorSliders {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetectorSettingsWindow)

public:
    static constexpr int kTipPollMs = 10;

    // Runs the calibration window until it closes. The default shows it
    // modally; tests drive it instead.
    using CalibrationRunner = std::function<void(CalibrationWindow&)>;
    // Opens the object detector's window ("Поиск объектов"), calibrating at
    // once when asked; without one its button stays hidden.
    using ObjectWindowOpener = std::function<void(bool calibrate)>;

    DetectorSettingsWindow(AppContext& context, core::SettingsStorage& options,
                           core::DetectorValuesTarget& detectorValuesTarget,
                           QWidget* parent = nullptr);
    ~DetectorSettingsWindow() override;

    // DetectorSliders
    void onSliderChanged(core::DetectorValue which, qint32 value) override;
    // Values outside the slider's range stop at its ends.
    void setSlider(core::DetectorValue which, qint32 value) override;
    qint32 sliderValue(core::DetectorValue which) const override;

    controls::Slider* slider(int index) const {
        return m_slider.at(static_cast<std::size_t>(index));
    }
    QLabel* infoIcon(int index) const { return m_pic.at(static_cast<std::size_t>(index)); }
    controls::PushButton* button(int index) const {
        return m_buttons.at(static_cast<std::size_t>(index));
    }
    QTimer& tipPollTimer() { return m_tipPollTimer; }
    // The help balloon while shown, else null.
    controls::InfoTip* infoTip() const { return m_tip.get(); }
    void setCalibrationRunner(CalibrationRunner runner) { m_runCalibration = std::move(runner); }
    void setObjectWindowOpener(ObjectWindowOpener opener);
    QComboBox* kindChooser() const { return m_kind; }

    static const std::array<QString, 3>& tipTitles();
    static const std::array<QString, 3>& tipTexts();

    void done(int r) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onButtonClicked(int index);
    void autocalibrate();
    void openObjectWindow(bool calibrate);
    void showTip(int index);
    void onTipPoll();
    void dropTip();
    void leave();

    AppContext& m_context;
    core::SettingsStorage& m_options;
    core::DetectorValuesTarget& m_detectorValuesTarget;
    std::array<controls::Slider*, 3> m_slider{};
    std::array<QLabel*, 3> m_pic{};
    std::array<controls::PushButton*, 3> m_buttons{};
    QTimer m_tipPollTimer;
    std::unique_ptr<controls::InfoTip> m_tip;
    int m_tipIndex = -1;
    CalibrationRunner m_runCalibration;
    ObjectWindowOpener m_openObjectWindow;
    QComboBox* m_kind = nullptr;
    controls::PushButton* m_objectsButton = nullptr;
    bool m_left = false;
};

} // namespace vigilux::ui
