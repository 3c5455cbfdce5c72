#pragma once

#include "video/ResolutionProbe.h"

#include <QDialog>
#include <QList>

#include <array>

class QComboBox;
class QLabel;

namespace vigilux {
struct AppContext;
}

namespace vigilux::video {
class CaptureCommands;
}
namespace vigilux::controls {
class PushButton;
}

namespace vigilux::ui {

// "Поддержка HD-разрешения": probes which capture sizes of the candidate
// list the device accepts, remembers the result in the [HD] section of the
// options file, and switches the device to the chosen size on OK. Modal;
// the caller runs exec() and owns the window.
class ResolutionWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResolutionWindow)

public:
    ResolutionWindow(AppContext& context, video::CaptureCommands& capture,
                     QWidget* parent = nullptr);
    ~ResolutionWindow() override;

    bool hasList() const { return m_hasList; }

    // Refused while a probe runs: a driver that lets events through while it
    // answers must not see the window go away under the probe.
    void reject() override;
    const QList<video::ResolutionMode>& modes() const { return m_modes; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void restoreStored();
    // Fills the list from "w,h,..."; a text without a whole valid pair
    // leaves the list as it was and clears hasList().
    void fillList(const QString& list);
    void probe();
    void onOkClicked();
    void setButtonsEnabled(bool enabled);

    AppContext& m_context;
    video::CaptureCommands& m_capture;

    QLabel* m_explanation = nullptr;
    QLabel* m_searching = nullptr;
    QLabel* m_progress = nullptr;
    QLabel* m_noList = nullptr;
    QComboBox* m_resList = nullptr;
    std::array<controls::PushButton*, 3> m_buttons{};

    QList<video::ResolutionMode> m_modes;
    bool m_hasList = false;
    bool m_probing = false;
};

} // namespace vigilux::ui
