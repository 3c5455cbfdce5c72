#pragma once

#include <QWidget>

#include <array>

class QRadioButton;
class QSpinBox;

namespace vigilux::controls {
class CheckBox;
}

namespace vigilux::core {
struct Settings;
}
namespace vigilux::ui {

class ClipOptionsPanel;

// The "События" page of the program options: how long a quiet time ends an
// event, which alarm actions run once per event, and which frames of an
// event are saved, and the event clips. Fills from and copies to a settings record; the options
// window decides when.
class EventsOptionsPage final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventsOptionsPage)
public:
    explicit EventsOptionsPage(QWidget* parent = nullptr);

    void fill(const core::Settings& s);
    void copyTo(core::Settings& s) const;

    QSpinBox* gap() const { return m_gap; }
    // 0 sound, 1 balloon, 2 program, once per event.
    controls::CheckBox* perEvent(int index) const {
        return m_perEvent.at(static_cast<std::size_t>(index));
    }
    // Frames: 0 every step, 1 first K then one every S seconds, 2 largest.
    QRadioButton* framesMode(int index) const {
        return m_frames.at(static_cast<std::size_t>(index));
    }
    QSpinBox* firstFrames() const { return m_firstFrames; }
    QSpinBox* frameInterval() const { return m_frameInterval; }
    ClipOptionsPanel* clipPanel() const { return m_clips; }

private:
    void followMode();

    QSpinBox* m_gap = nullptr;
    std::array<controls::CheckBox*, 3> m_perEvent{};
    std::array<QRadioButton*, 3> m_frames{};
    QSpinBox* m_firstFrames = nullptr;
    QSpinBox* m_frameInterval = nullptr;
    ClipOptionsPanel* m_clips = nullptr;
};

} // namespace vigilux::ui
