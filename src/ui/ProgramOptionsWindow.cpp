#include "ui/ProgramOptionsWindow.h"

#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "platform/Dialogs.h"
#include "platform/WindowTools.h"
#include "ui/AlarmOptionsPage.h"
#include "ui/EventsOptionsPage.h"
#include "ui/FilesOptionsPage.h"
#include "ui/InterfaceOptionsPage.h"
#include "ui/OptionsPage.h"
#include "ui/ResolutionWindow.h"
#include "video/CaptureCommands.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vigilux::ui {

namespace {

using Icon = platform::Dialogs::Icon;
using Buttons = platform::Dialogs::Buttons;
using Answer = platform::Dialogs::Answer;

const QColor Background(234, 234, 234);
const QColor MarkerColor(225, 153, 71);

const QString Attention = QStringLiteral("Внимание!");

QString indexed(const char* name, int index) {
    return QLatin1String(name) + QLatin1Char('_') + QString::number(index);
}

} // namespace

ProgramOptionsWindow::ProgramOptionsWindow(AppContext& context, core::SettingsStorage& storage,
                                           video::CaptureCommands& capture,
                                           std::function<void()> hideFormatLabel, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_storage(storage)
    , m_capture(capture)
    , m_hideFormatLabel(std::move(hideFormatLabel)) {
    setWindowTitle(QStringLiteral("Настройки"));

    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    // All pages share one cell; only the selected one is visible. The cell
    // is as large as the largest page, so the window never changes size.
    m_pages = new QWidget(this);
    m_pageGrid = new QGridLayout(m_pages);
    m_pageGrid->setContentsMargins(4, 4, 4, 4);
    auto* general = new InterfaceOptionsPage(context, m_pages);
    auto* image = new ImageOptionsPage(context, m_pages);
    connect(image, &ImageOptionsPage::captureButtonClicked, this,
            &ProgramOptionsWindow::onCaptureButtonClicked);
    auto* files = new FilesOptionsPage(context, m_pages);
    m_alarm = new AlarmOptionsPage(context, m_pages);
    m_alarm->setOwnExecutable(QCoreApplication::applicationFilePath());
    m_own = {general, image, files, m_alarm};
    auto* events = new QWidget(m_pages);
    auto* eventsLayout = new QVBoxLayout(events);
    eventsLayout->setContentsMargins(0, 0, 0, 0);
    m_events = new EventsOptionsPage(events);
    eventsLayout->addWidget(m_events);

    m_tabRow = new QHBoxLayout;
    m_tabRow->setSpacing(4);
    m_tabRow->addStretch(1);
    for (ProgramOptionsPage* page : m_own) {
        addTab(page->caption());
        m_cont.push_back(page);
    }
    addTab(QStringLiteral("События"));
    m_cont.push_back(events);
    outer->addLayout(m_tabRow);
    for (std::size_t i = 0; i < m_cont.size(); ++i) {
        m_cont[i]->setObjectName(indexed("Cont", static_cast<int>(i)));
        m_pageGrid->addWidget(m_cont[i], 0, 0, Qt::AlignTop | Qt::AlignLeft);
    }
    fitPages();
    outer->addWidget(m_pages);

    static const std::array<const char*, 3> buttonCaptions{"OK", "Отмена", "По умолчанию"};
    static const std::array<const char*, 3> buttonNames{"okButton", "cancelButton",
                                                        "defaultsButton"};
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    for (int i = 0; i < 3; ++i) {
        auto* button = new controls::PushButton(
            QString::fromUtf8(buttonCaptions[static_cast<std::size_t>(i)]), this);
        button->setObjectName(QLatin1String(buttonNames[static_cast<std::size_t>(i)]));
        button->setButtonStyle(3);
        button->setFixedSize(i == 2 ? 110 : 80, 26);
        buttonRow->addWidget(button);
        m_buttons[static_cast<std::size_t>(i)] = button;
    }
    outer->addLayout(buttonRow);
    connect(m_buttons[0], &controls::PushButton::clicked, this, &ProgramOptionsWindow::onOkClicked);
    connect(m_buttons[1], &controls::PushButton::clicked, this,
            &ProgramOptionsWindow::onCancelClicked);
    connect(m_buttons[2], &controls::PushButton::clicked, this,
            &ProgramOptionsWindow::onDefaultsClicked);

    selectTab(0);
    fillControls();
    platform::makeTopmost(*this);
    m_loaded = true;
}

ProgramOptionsWindow::~ProgramOptionsWindow() = default;

void ProgramOptionsWindow::addTab(const QString& caption) {
    const int i = static_cast<int>(m_tabs.size());
    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    auto* tab = new controls::PushButton(caption, this);
    tab->setObjectName(indexed("Tabs", i));
    tab->setFixedSize(104, 26);
    connect(tab, &controls::PushButton::clicked, this, [this, i] { selectTab(i); });
    auto* marker = new QWidget(this);
    marker->setObjectName(indexed("m", i));
    marker->setFixedSize(104, 3);
    marker->setAutoFillBackground(true);
    QPalette palette = marker->palette();
    palette.setColor(QPalette::Window, MarkerColor);
    marker->setPalette(palette);
    column->addWidget(tab);
    column->addWidget(marker);
    m_tabRow->insertLayout(i, column); // before the stretch
    m_tabs.push_back(tab);
    m_marker.push_back(marker);
}

void ProgramOptionsWindow::fitPages() {
    QSize largest;
    for (QWidget* page : m_cont)
        largest = largest.expandedTo(page->sizeHint());
    m_pages->setMinimumSize(largest + QSize(8, 8));
}

void ProgramOptionsWindow::addPage(OptionsPage* page) {
    const int i = static_cast<int>(m_cont.size());
    addTab(page->caption());
    page->setParent(m_pages);
    page->setObjectName(indexed("Cont", i));
    m_cont.push_back(page);
    m_added.push_back(page);
    m_pageGrid->addWidget(page, 0, 0, Qt::AlignTop | Qt::AlignLeft);
    page->fillControls();
    fitPages();
    selectTab(m_selectedTab);
}

void ProgramOptionsWindow::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event)
    QPainter p(this);
    p.fillRect(rect(), Background);
}

void ProgramOptionsWindow::selectTab(int index) {
    m_selectedTab = index;
    for (std::size_t k = 0; k < m_cont.size(); ++k) {
        const bool selected = static_cast<int>(k) == index;
        // The current tab cannot be clicked again.
        m_tabs[k]->setEnabledCtrl(!selected);
        m_cont[k]->setVisible(selected);
        m_marker[k]->setVisible(selected);
    }
}

void ProgramOptionsWindow::setOwnExecutable(const QString& path) {
    m_alarm->setOwnExecutable(path);
}

void ProgramOptionsWindow::fillControls() {
    for (ProgramOptionsPage* page : m_own)
        page->fillControls();
    m_events->fill(m_context.settings);
}

void ProgramOptionsWindow::copyControls() {
    for (ProgramOptionsPage* page : m_own)
        page->copyControls();
    m_events->copyTo(m_context.settings);
}

void ProgramOptionsWindow::onOkClicked() {
    for (std::size_t i = 0; i < m_added.size(); ++i) {
        if (!m_added[i]->accepts()) {
            selectTab(static_cast<int>(m_cont.size() - m_added.size() + i));
            return;
        }
    }
    copyControls();
    for (OptionsPage* page : m_added)
        page->copyControls();
    m_storage.save();
    for (OptionsPage* page : m_added)
        page->save();
    accept();
}

void ProgramOptionsWindow::onCancelClicked() {
    reject();
}

void ProgramOptionsWindow::onDefaultsClicked() {
    const Answer answer = m_context.dialogs.message(
        Icon::Question, Attention,
        QStringLiteral("Вы уверены, что хотите сбросить все настройки в значения по "
                       "умолчанию?\r\nПараметры детектора движения также будут установлены в "
                       "исходные значения"),
        Buttons::YesNo);
    if (answer == Answer::No)
        return;
    m_storage.setDefaults();
    fillControls();
    for (OptionsPage* page : m_added)
        page->fillControls();
}

void ProgramOptionsWindow::onCaptureButtonClicked(ImageOptionsPage::CaptureButton button) {
    // Hiding ends a running exec(); the window comes back modeless below and
    // from then on looks after its own lifetime.
    hide();
    switch (button) {
    case ImageOptionsPage::FormatButton:
        m_capture.chooseFormat();
        if (m_hideFormatLabel)
            m_hideFormatLabel();
        break;
    case ImageOptionsPage::SourceButton:
        m_capture.chooseSource();
        break;
    case ImageOptionsPage::ResolutionButton: {
        ResolutionWindow hd(m_context, m_capture);
        hd.exec();
        break;
    }
    }
    m_detached = true;
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowModality(Qt::NonModal);
    show();
}

} // namespace vigilux::ui
