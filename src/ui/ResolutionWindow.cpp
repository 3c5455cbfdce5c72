#include "ui/ResolutionWindow.h"

#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "platform/WindowTools.h"
#include "video/CaptureCommands.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vigilux::ui {

namespace {

const QString HD = QStringLiteral("HD");
const QColor Background(234, 234, 234);

} // namespace

ResolutionWindow::ResolutionWindow(AppContext& context, video::CaptureCommands& capture,
                                   QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_capture(capture) {
    setWindowTitle(QStringLiteral("Поддержка HD-разрешения"));

    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->setSpacing(8);

    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setWordWrap(true);
        l->setFixedWidth(420);
        return l;
    };
    m_explanation = label(
        "Label1", QStringLiteral("Стандартная библиотека Windows для работы с изображениями не "
                                 "поддерживает разрешения свыше стандартных 640х480. Вы можете "
                                 "попытаться установить более высокое разрешение, если ваша "
                                 "веб-камера поддерживает HD-разрешение и в системе установлены "
                                 "соответствующие драйверы."));
    m_searching =
        label("Label2", QStringLiteral("Подождите, идет поиск поддерживаемых разрешений"));
    m_progress = label("Label3", QString());
    m_noList =
        label("Label4", QStringLiteral("Ваша веб-камера не поддерживает разрешений свыше "
                                       "стандартного, либо автодетектирование еще не проводилось"));
    m_resList = new QComboBox(this);
    m_resList->setObjectName(QStringLiteral("resolutionList"));
    m_resList->setFixedWidth(200);
    // The list and the no-list line take turns in one place.
    auto* listArea = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(m_resList);
    listLayout->addWidget(m_noList);
    listArea->setMinimumHeight(m_noList->sizeHint().height() + m_resList->sizeHint().height());

    outer->addWidget(m_explanation);
    outer->addWidget(listArea);
    outer->addWidget(m_searching);
    outer->addWidget(m_progress);
    m_searching->setMinimumHeight(m_searching->sizeHint().height());
    m_progress->setMinimumHeight(m_searching->sizeHint().height());
    m_searching->hide();
    m_progress->hide();

    static const std::array<const char*, 3> captions{"OK", "Отмена", "Автодетект разрешений"};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (int i = 0; i < 3; ++i) {
        auto* button = new controls::PushButton(
            QString::fromUtf8(captions[static_cast<std::size_t>(i)]), this);
        button->setObjectName(QStringLiteral("button") + QString::number(i));
        button->setButtonStyle(3);
        button->setFixedSize(i == 2 ? 170 : 80, 26);
        buttons->addWidget(button);
        m_buttons[static_cast<std::size_t>(i)] = button;
    }
    outer->addLayout(buttons);
    connect(m_buttons[0], &controls::PushButton::clicked, this, &ResolutionWindow::onOkClicked);
    connect(m_buttons[1], &controls::PushButton::clicked, this, &QDialog::reject);
    connect(m_buttons[2], &controls::PushButton::clicked, this, &ResolutionWindow::probe);

    if (!m_context.inTray)
        platform::makeTopmost(*this);
    restoreStored();
}

ResolutionWindow::~ResolutionWindow() = default;

void ResolutionWindow::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event)
    QPainter p(this);
    p.fillRect(rect(), Background);
}

void ResolutionWindow::restoreStored() {
    core::IniFile& ini = m_context.ini;
    m_hasList = false;
    if (ini.read(QStringLiteral("HDsupport"), HD) == QLatin1String("True")) {
        const QString stored = ini.read(QStringLiteral("myHD"), HD);
        if (!stored.isEmpty())
            fillList(stored);
    }
    // A stored list without one whole pair is no list: say so rather than
    // show an empty drop-down.
    m_noList->setVisible(!m_hasList);
    m_resList->setVisible(m_hasList);
}

void ResolutionWindow::fillList(const QString& list) {
    const QList<video::ResolutionMode> modes = video::ResolutionProbe::parseModes(list);
    if (modes.isEmpty()) {
        m_hasList = false;
        return;
    }
    m_resList->clear();
    m_modes = modes;
    for (const video::ResolutionMode& mode : m_modes)
        m_resList->addItem(video::ResolutionProbe::listItem(mode));
    m_resList->setCurrentIndex(0);
    m_hasList = true;
}

void ResolutionWindow::reject() {
    if (!m_probing)
        QDialog::reject();
}

void ResolutionWindow::probe() {
    m_probing = true;
    m_searching->show();
    m_progress->show();
    setButtonsEnabled(false);
    m_noList->hide();
    m_resList->setEnabled(false);

    QString& candidates = m_context.settings.resolutionCandidates;
    if (candidates.isEmpty())
        candidates = core::SettingsStorage::DefaultResolutions; // in memory only

    // A real device blocks inside setResolution, so the line is painted at once
    // instead of waiting for the event loop.
    const QList<video::ResolutionMode> accepted =
        video::ResolutionProbe::probe(candidates, m_capture, [this](const QString& text) {
            m_progress->setText(text);
            m_progress->repaint();
        });

    m_searching->hide();
    m_resList->setEnabled(true);

    core::IniFile& ini = m_context.ini;
    const core::IniFile::WriteGroup group(ini);
    if (!accepted.isEmpty()) {
        const QString result = video::ResolutionProbe::modesText(accepted);
        fillList(result);
        ini.write(QStringLiteral("True"), QStringLiteral("HDsupport"), HD);
        ini.write(result, QStringLiteral("MyHD"), HD);
        m_noList->hide();
        m_resList->show();
        m_hasList = true;
    } else {
        // MyHD keeps the previous result in the file.
        ini.write(QStringLiteral("False"), QStringLiteral("HDsupport"), HD);
        m_noList->hide();
        m_resList->hide();
        m_hasList = false;
    }
    m_progress->setText(video::ResolutionProbe::resultText(static_cast<int>(accepted.size())));
    setButtonsEnabled(true);
    m_probing = false;
}

void ResolutionWindow::onOkClicked() {
    const int selected = m_resList->currentIndex();
    if (m_hasList && selected >= 0 && selected < m_modes.size()) {
        const video::ResolutionMode& mode = m_modes[selected];
        m_capture.setResolution(mode.width, mode.height);
    }
    accept();
}

void ResolutionWindow::setButtonsEnabled(bool enabled) {
    for (controls::PushButton* button : m_buttons)
        button->setEnabledCtrl(enabled);
}

} // namespace vigilux::ui
