#pragma once

#include "detection/ObjectCalibration.h"
#include "pipeline/WatchPipeline.h"

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace vigilux {
struct AppContext;
}
namespace vigilux::core {
class SettingsStorage;
}

namespace vigilux::ui {

class MaskEditor;

// "Поиск объектов": the object detector's values, its mask painted with the
// mouse on the live picture, "ignore the last alarm's area" in one click and
// the calibration that measures the empty scene for a few seconds. OK stores
// the values ([Detector]) and the mask (a picture beside options.ini, removed
// when nothing is masked); Отмена keeps what was stored. Whoever opened it
// puts the stored values into a running detector. Modal; the context and
// the settings storage must outlive it.
class ObjectDetectorWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ObjectDetectorWindow)

public:
    static constexpr int kPictureRefreshMs = 200;
    static constexpr int kCalibrationFrameMs = 100;

    // `latestFrame` gives the camera's latest picture (null when none);
    // `lastAlarm` is where the last alarm's objects were.
    ObjectDetectorWindow(AppContext& context, core::SettingsStorage& options,
                         std::function<QImage()> latestFrame,
                         pipeline::WatchPipeline::AlarmArea lastAlarm, QWidget* parent = nullptr);
    ~ObjectDetectorWindow() override;

    void startCalibration();
    bool calibrating() const { return m_calibration != nullptr; }
    // Timer handlers (public so tests need not wait).
    void refreshPicture();
    void onCalibrationTick();

    MaskEditor& maskEditor() const { return *m_maskEditor; }
    QPushButton& ignoreLastAlarmButton() const { return *m_ignoreLastAlarm; }
    QLabel& calibrationText() const { return *m_calibrationText; }

    void accept() override;

private:
    void ignoreLastAlarm();
    void showProposal(const detection::ObjectCalibration::Result& result);
    bool storeMask();

    AppContext& m_context;
    core::SettingsStorage& m_options;
    std::function<QImage()> m_latestFrame;
    pipeline::WatchPipeline::AlarmArea m_lastAlarm;
    MaskEditor* m_maskEditor = nullptr;
    QDoubleSpinBox* m_minObject = nullptr;
    QPushButton* m_ignoreLastAlarm = nullptr;
    QPushButton* m_calibrate = nullptr;
    QLabel* m_calibrationText = nullptr;
    QTimer m_pictureTimer;
    QTimer m_calibrationTimer;
    std::unique_ptr<detection::ObjectCalibration> m_calibration;
    std::vector<uchar> m_frameBytes;
    bool m_maskEdited = false;
};

} // namespace vigilux::ui
