#include "ui/EventsOptionsPage.h"

#include "controls/CheckBox.h"
#include "core/Settings.h"
#include "ui/ClipOptionsPanel.h"
#include "ui/OptionRows.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vigilux::ui {

EventsOptionsPage::EventsOptionsPage(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // The ranges are those the settings load clamps to.
    m_gap = optionSpinBox(QStringLiteral("EventGap"), 1, 3600, this);
    layout->addLayout(
        optionRow({new QLabel(QStringLiteral("событие закончено, если движения нет"), this), m_gap,
                   new QLabel(QStringLiteral("секунд"), this)}));

    static const std::array<const char*, 3> captions{"звук тревоги один раз за событие",
                                                     "сообщение из системного трея один раз за "
                                                     "событие",
                                                     "запуск программы один раз за событие"};
    for (std::size_t i = 0; i < m_perEvent.size(); ++i) {
        m_perEvent[i] = new controls::CheckBox(this);
        m_perEvent[i]->setObjectName(QStringLiteral("PerEvent_%1").arg(i));
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
    m_firstFrames = optionSpinBox(QStringLiteral("EventFirstFrames"), 1, 100, this);
    m_frameInterval = optionSpinBox(QStringLiteral("EventFrameInterval"), 1, 3600, this);
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
    m_gap->setValue(s.eventGap);
    m_perEvent[0]->setValue(s.soundPerEvent);
    m_perEvent[1]->setValue(s.balloonPerEvent);
    m_perEvent[2]->setValue(s.programPerEvent);
    m_frames[static_cast<std::size_t>(std::clamp(s.eventFrames, 0, 2))]->setChecked(true);
    m_firstFrames->setValue(s.eventFirstFrames);
    m_frameInterval->setValue(s.eventFrameInterval);
    followMode();
    m_clips->fill(s);
}

void EventsOptionsPage::copyTo(core::Settings& s) const {
    s.eventGap = m_gap->value();
    s.soundPerEvent = m_perEvent[0]->value();
    s.balloonPerEvent = m_perEvent[1]->value();
    s.programPerEvent = m_perEvent[2]->value();
    for (std::size_t i = 0; i < m_frames.size(); ++i)
        if (m_frames[i]->isChecked())
            s.eventFrames = static_cast<qint32>(i);
    s.eventFirstFrames = m_firstFrames->value();
    s.eventFrameInterval = m_frameInterval->value();
    m_clips->copyTo(s);
}

// K and S only mean something for their own mode.
void EventsOptionsPage::followMode() {
    const bool firstThenEvery = m_frames[1]->isChecked();
    m_firstFrames->setEnabled(firstThenEvery);
    m_frameInterval->setEnabled(firstThenEvery);
}

} // namespace vigilux::ui
