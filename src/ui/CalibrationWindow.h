#pragma once

#include "core/CalibrationTarget.h"
#include "detection/CalibrationLogic.h"
#include "detection/CalibrationView.h"

#include <QDialog>

#include <array>

class QLabel;

namespace vigilux {
struct AppContext;
}

namespace vigilux::detection {
class DetectorSliders;
}
namespace vigilux::controls {
class PushButton;
}

namespace vigilux::ui {

// The "Автокалибровка" window: shows and forwards; the calibration itself is
// CalibrationLogic. While open it is the context's calibration target, so the main
// window forwards detector values to it. Closing it by any means (its
// buttons, the close box, Esc, destruction) stops the step timer, ends the phase
// and removes it from the context. Opened modally from the detector
// settings window, which it writes through `sliders`; both must outlive it.
class CalibrationWindow final : public QDialog,
                                public core::CalibrationTarget,
                                private detection::CalibrationView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CalibrationWindow)

public:
    CalibrationWindow(AppContext& context, detection::DetectorSliders& sliders,
                      QWidget* parent = nullptr);
    ~CalibrationWindow() override;

    // CalibrationTarget: what the main window forwards.
    void speedValue(qint16 value) override;
    void similarityValue(qint32 value) override;

    detection::CalibrationLogic& logic() { return m_logic; }
    controls::PushButton* button(int index) const {
        return m_buttons.at(static_cast<std::size_t>(index));
    }
    QWidget* progressFrame() const { return m_progressFrame; }
    QWidget* progressBar() const { return m_progressBar; }

    void done(int r) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // CalibrationView
    void setInstruction(const QString& text) override;
    void setStatus(const QString& text) override;
    void setButtonsEnabled(bool enabled) override;
    void showProgress() override;
    int progressWidth() const override;
    void setBarWidth(int width) override;
    void closeWindow() override;

    void onButtonClicked(int index);
    void leave();

    AppContext& m_context;
    QLabel* m_instruction;
    QLabel* m_status;
    std::array<controls::PushButton*, 2> m_buttons{};
    QWidget* m_progressFrame;
    QWidget* m_progressBar;
    detection::CalibrationLogic m_logic;
    bool m_left = false;
};

} // namespace vigilux::ui
