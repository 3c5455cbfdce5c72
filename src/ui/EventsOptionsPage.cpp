#include "ui/EventsOptionsPage.h"

#include "controls/CheckBox.h"
#include "core/Settings.h"
#include "ui/ClipOptionsPanel.h"
#include "ui/OptionRows.h"
#include "ui/SettingBinding.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vigilux::ui {

EventsOptionsPage::EventsOptionsPage(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    using Binding = SettingBinding<core::Settings>;
    m_gap = optionSpinBox(QStringLiteral("EventGap"), this);
    Binding::bind(m_gap, QStringLiteral("EventGap"));
    layout->addLayout(
        optionRow({new QLabel(QStringLiteral("событие закончено, если движения нет"), this), m_gap,
                   new QLabel(QStringLiteral("секунд"), this)}));

    static const std::array<const char*, 3> captions{"звук тревоги один раз за событие",
                                                     "сообщение из системного трея один раз за "
                                                     "событие",
                                                     "запуск программы один раз за событие"};
    static const std::array<const char*, 3> keys{"SoundPerEvent", "BalloonPerEvent",
                                                 "ProgramPerEvent"};
    for (std::size_t i = 0; i < m_perEvent.size(); ++i) {
        m_perEvent[i] = new controls::CheckBox(this);
        m_perEvent[i]->setObjectName(QStringLiteral("PerEvent_%1").arg(i));
        Binding::bind(m_perEvent[i], QString::fromLatin1(keys[i]));
        layout->addLayout(
            optionRow({m_perEvent[i], new QLabel(QString::fromUtf8(captions[i]), this)}));
    }

    layout->addWidget(new QLabel(QStringLiteral("снимки события:"), this));
    auto* group = new QButtonGroup(this);
    static const std::array<const char*, 3> modes{"сохранять каждый кадр с движением", "первые",
                                                  "только кадр с наибольшим изменением"};
    for (std::size_t i = 0; i < m_frames.size(); ++i) {
        m_frames[i] = new QRadioButton(QString::fromUtf8(modes[i]), this);
        m_frames[i]->setObjectName(QStringLiteral("EventFrames_%1").arg(i));
        group->addButton(m_frames[i], static_cast<int>(i));
    }
    Binding::bind(group, QStringLiteral("EventFrames"));
    m_firstFrames = optionSpinBox(QStringLiteral("EventFirstFrames"), this);
    Binding::bind(m_firstFrames, QStringLiteral("EventFirstFrames"));
    m_frameInterval = optionSpinBox(QStringLiteral("EventFrameInterval"), this);
    Binding::bind(m_frameInterval, QStringLiteral("EventFrameInterval"));
    layout->addLayout(optionRow({m_frames[0]}, 20));
    layout->addLayout(optionRow({m_frames[1], m_firstFrames,
                                 new QLabel(QStringLiteral("кадра, затем один кадр в"), this),
                                 m_frameInterval, new QLabel(QStringLiteral("секунд"), this)},
                                20));
    layout->addLayout(optionRow({m_frames[2]}, 20));
    m_clips = new ClipOptionsPanel(this);
    layout->addWidget(m_clips);
    layout->addStretch(1);
    connect(group, &QButtonGroup::idClicked, this, &EventsOptionsPage::followMode);
}

void EventsOptionsPage::fill(const core::Settings& s) {
    SettingBinding<core::Settings>::fill(this, s);
    followMode();
    m_clips->followClips();
}

void EventsOptionsPage::copyTo(core::Settings& s) const {
    SettingBinding<core::Settings>::copy(this, s);
}

// K and S only mean something for their own mode.
void EventsOptionsPage::followMode() {
    const bool firstThenEvery = m_frames[1]->isChecked();
    m_firstFrames->setEnabled(firstThenEvery);
    m_frameInterval->setEnabled(firstThenEvery);
}

} // namespace vigilux::ui
