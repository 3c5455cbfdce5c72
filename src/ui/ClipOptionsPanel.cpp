#include "ui/ClipOptionsPanel.h"

#include "controls/CheckBox.h"
#include "core/Settings.h"
#include "ui/OptionRows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <initializer_list>

namespace vigilux::ui {

namespace {

controls::CheckBox* checkBox(const QString& name, QWidget* parent) {
    auto* box = new controls::CheckBox(parent);
    box->setObjectName(name);
    return box;
}

} // namespace

ClipOptionsPanel::ClipOptionsPanel(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // The ranges are those the settings load clamps to.
    m_clips = checkBox(QStringLiteral("EventClips"), this);
    m_preRoll = optionSpinBox(QStringLiteral("PreRoll"), 0, 10, this);
    m_postRoll = optionSpinBox(QStringLiteral("PostRoll"), 0, 3600, this);
    m_frameRate = optionSpinBox(QStringLiteral("ClipFrameRate"), 1, 60, this);
    m_maxClip = optionSpinBox(QStringLiteral("MaxClip"), 1, 600, this);
    m_upload = checkBox(QStringLiteral("UploadClips"), this);

    layout->addLayout(
        optionRow({m_clips, new QLabel(QStringLiteral("записывать видео событий"), this)}));
    layout->addLayout(optionRow({new QLabel(QStringLiteral("начинать за"), this), m_preRoll,
                                 new QLabel(QStringLiteral("секунд до движения"), this)},
                                20));
    layout->addLayout(optionRow({new QLabel(QStringLiteral("заканчивать через"), this), m_postRoll,
                                 new QLabel(QStringLiteral("секунд после движения"), this)},
                                20));
    layout->addLayout(optionRow({new QLabel(QStringLiteral("не больше"), this), m_frameRate,
                                 new QLabel(QStringLiteral("кадров в секунду"), this)},
                                20));
    layout->addLayout(optionRow({new QLabel(QStringLiteral("одно видео не длиннее"), this),
                                 m_maxClip, new QLabel(QStringLiteral("минут"), this)},
                                20));
    layout->addLayout(optionRow(
        {m_upload, new QLabel(QStringLiteral("отправлять видео событий на FTP-сервер"), this)},
        20));
    connect(m_clips, &controls::CheckBox::clicked, this, &ClipOptionsPanel::followClips);
}

void ClipOptionsPanel::fill(const core::Settings& s) {
    m_clips->setValue(s.eventClips);
    m_preRoll->setValue(s.clipPreRoll);
    m_postRoll->setValue(s.clipPostRoll);
    m_frameRate->setValue(s.clipFrameRate);
    m_maxClip->setValue(s.maxClipMinutes);
    m_upload->setValue(s.uploadClips);
    followClips();
}

void ClipOptionsPanel::copyTo(core::Settings& s) const {
    s.eventClips = m_clips->value();
    s.clipPreRoll = m_preRoll->value();
    s.clipPostRoll = m_postRoll->value();
    s.clipFrameRate = m_frameRate->value();
    s.maxClipMinutes = m_maxClip->value();
    s.uploadClips = m_upload->value();
}

void ClipOptionsPanel::followClips() {
    const bool on = m_clips->value();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_preRoll, m_postRoll, m_frameRate, m_maxClip, m_upload})
        w->setEnabled(on);
}

} // namespace vigilux::ui
