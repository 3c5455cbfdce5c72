#include "ui/ClipOptionsPanel.h"

#include "controls/CheckBox.h"
#include "core/Settings.h"
#include "ui/OptionRows.h"
#include "ui/SettingBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <initializer_list>

namespace vigilux::ui {

namespace {

// Each editor is named after the key it edits.
template <typename Editor>
Editor* bound(Editor* editor, const QString& key) {
    editor->setObjectName(key);
    SettingBinding<core::Settings>::bind(editor, key);
    return editor;
}

QSpinBox* spinBox(const QString& key, QWidget* parent) {
    return bound(optionSpinBox(key, parent), key);
}

} // namespace

ClipOptionsPanel::ClipOptionsPanel(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_clips = bound(new controls::CheckBox(this), QStringLiteral("EventClips"));
    m_preRoll = spinBox(QStringLiteral("PreRoll"), this);
    m_postRoll = spinBox(QStringLiteral("PostRoll"), this);
    m_frameRate = spinBox(QStringLiteral("ClipFrameRate"), this);
    m_maxClip = spinBox(QStringLiteral("MaxClip"), this);
    m_upload = bound(new controls::CheckBox(this), QStringLiteral("UploadClips"));

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

void ClipOptionsPanel::followClips() {
    const bool on = m_clips->value();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_preRoll, m_postRoll, m_frameRate, m_maxClip, m_upload})
        w->setEnabled(on);
}

} // namespace vigilux::ui
