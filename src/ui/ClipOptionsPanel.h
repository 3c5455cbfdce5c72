#pragma once

#include <QWidget>

class QSpinBox;

namespace vigilux::controls {
class CheckBox;
}

namespace vigilux::ui {

// The event clip options, part of the "События" page: whether events get a
// video, how much of it comes before the first and after the last alarm
// step, its frame rate cap, its longest length, and whether finished clips
// go to the FTP server. Its editors are bound to their keys; the events page
// fills and copies them with its own.
class ClipOptionsPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClipOptionsPanel)
public:
    explicit ClipOptionsPanel(QWidget* parent = nullptr);

    controls::CheckBox* clips() const { return m_clips; }
    QSpinBox* preRoll() const { return m_preRoll; }
    QSpinBox* postRoll() const { return m_postRoll; }
    QSpinBox* frameRate() const { return m_frameRate; }
    QSpinBox* maxClip() const { return m_maxClip; }
    controls::CheckBox* upload() const { return m_upload; }

    // The numbers only mean something with clips on; called after a fill.
    void followClips();

private:
    controls::CheckBox* m_clips = nullptr;
    QSpinBox* m_preRoll = nullptr;
    QSpinBox* m_postRoll = nullptr;
    QSpinBox* m_frameRate = nullptr;
    QSpinBox* m_maxClip = nullptr;
    controls::CheckBox* m_upload = nullptr;
};

} // namespace vigilux::ui
