#include "ui/ProgramOptionsWindow.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "controls/Slider.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "platform/Dialogs.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "ui/EventsOptionsPage.h"
#include "ui/FilePickers.h"
#include "ui/OptionsPage.h"
#include "ui/ProgramOptionsRules.h"
#include "ui/ResolutionWindow.h"
#include "video/CaptureCommands.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

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

// The small help picture: a blue disc with a question mark.
QPixmap helpPicture() {
    return QPixmap::fromImage(resources::Pictures::image(QStringLiteral("help"), QSize(16, 16)));
}

} // namespace

ProgramOptionsWindow::ProgramOptionsWindow(AppContext& context, core::SettingsStorage& storage,
                                           video::CaptureCommands& capture,
                                           std::function<void()> hideFormatLabel, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_storage(storage)
    , m_capture(capture)
    , m_hideFormatLabel(std::move(hideFormatLabel))
    , m_pickers(std::make_unique<FilePickers>(context.dialogs))
    , m_ownExecutable(QCoreApplication::applicationFilePath()) {
    setWindowTitle(QStringLiteral("Настройки"));

    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->setSpacing(8);

    static const std::array<const char*, 5> tabCaptions{"Интерфейс", "Изображение", "Файлы",
                                                        "Детектор", "События"};
    m_tabRow = new QHBoxLayout;
    m_tabRow->setSpacing(4);
    m_tabRow->addStretch(1);
    for (const char* caption : tabCaptions)
        addTab(QString::fromUtf8(caption));
    outer->addLayout(m_tabRow);

    // All pages share one cell; only the selected one is visible. The cell
    // is as large as the largest page, so the window never changes size.
    m_pages = new QWidget(this);
    m_pageGrid = new QGridLayout(m_pages);
    m_pageGrid->setContentsMargins(4, 4, 4, 4);
    for (int i = 0; i < 5; ++i) {
        auto* page = new QWidget(m_pages);
        page->setObjectName(indexed("Cont", i));
        m_cont.push_back(page);
        m_pageGrid->addWidget(page, 0, 0, Qt::AlignTop | Qt::AlignLeft);
    }
    buildInterfacePage(m_cont[0]);
    buildImagePage(m_cont[1]);
    buildFilesPage(m_cont[2]);
    buildDetectorPage(m_cont[3]);
    buildEventsPage(m_cont[4]);
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

QWidget* ProgramOptionsWindow::checkRow(int index, const QString& caption, QWidget* page) {
    auto* row = new QWidget(page);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* box = new controls::CheckBox(row);
    box->setObjectName(indexed("Check", index));
    auto* label = new QLabel(caption, row);
    label->setObjectName(indexed("CheckCaption", index));
    layout->addWidget(box);
    layout->addWidget(label);
    layout->addStretch(1);
    m_check[static_cast<std::size_t>(index)] = box;
    connect(box, &controls::CheckBox::clicked, this, [this, index] { onCheckBoxClicked(index); });
    return row;
}

QWidget* ProgramOptionsWindow::pathRow(int index, QWidget* page) {
    auto* row = new QWidget(page);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* text = new QLineEdit(row);
    text->setObjectName(indexed("Text", index));
    text->setMinimumWidth(index == 2 ? 150 : 340);
    auto* sel = new controls::PushButton(QStringLiteral("..."), row);
    sel->setObjectName(indexed("Sel", index));
    sel->setButtonStyle(0);
    sel->setFixedSize(26, 22);
    layout->addWidget(text);
    layout->addWidget(sel);
    layout->addStretch(1);
    m_text[static_cast<std::size_t>(index)] = text;
    m_sel[static_cast<std::size_t>(index)] = sel;
    connect(sel, &controls::PushButton::clicked, this, [this, index] { onBrowseClicked(index); });
    return row;
}

void ProgramOptionsWindow::buildInterfacePage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(checkRow(0, QStringLiteral("запускать в свернутом режиме"), page));
    layout->addWidget(checkRow(1, QStringLiteral("включить автосъемку после запуска"), page));
    layout->addWidget(checkRow(2, QStringLiteral("звук при сохранении кадра"), page));
    layout->addWidget(pathRow(0, page));
    layout->addWidget(checkRow(3, QStringLiteral("блокировать хранитель экрана"), page));
    layout->addWidget(checkRow(15, QStringLiteral("автоматически проверять обновления"), page));
    layout->addStretch(1);
}

void ProgramOptionsWindow::buildImagePage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(checkRow(7, QStringLiteral("сохранять в формате .JPG (иначе - .BMP)"), page));
    layout->addWidget(checkRow(8, QStringLiteral("впечатывать на изображение дату и время"), page));

    auto* quality = new QHBoxLayout;
    quality->addWidget(new QLabel(QStringLiteral("качество JPEG"), page));
    m_qualitySlider = new controls::Slider(page);
    m_qualitySlider->setObjectName(QStringLiteral("Slider1"));
    m_qualitySlider->setFixedWidth(240);
    quality->addWidget(m_qualitySlider);
    quality->addStretch(1);
    layout->addLayout(quality);

    layout->addWidget(checkRow(9, QStringLiteral("синхронизировать просмотр с детектором"), page));

    static const std::array<const char*, 3> captions{"формат изображения", "настройки камеры",
                                                     "поддержка высокого разрешения"};
    static const std::array<const char*, 3> names{"formatButton", "cameraSettingsButton",
                                                  "resolutionsButton"};
    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* button = new controls::PushButton(
            QString::fromUtf8(captions[static_cast<std::size_t>(i)]), page);
        button->setObjectName(QLatin1String(names[static_cast<std::size_t>(i)]));
        button->setButtonStyle(3);
        button->setFixedSize(i == 2 ? 230 : 150, 26);
        buttons->addWidget(button);
        m_soundTestButtons[static_cast<std::size_t>(i)] = button;
        connect(button, &controls::PushButton::clicked, this, [this, i] { onSoundTestClicked(i); });
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
}

void ProgramOptionsWindow::buildFilesPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("папка для сохранения снимков"), page));
    layout->addWidget(pathRow(1, page));
    layout->addWidget(checkRow(4, QStringLiteral("создавать подкаталоги по дате снимка"), page));
    layout->addWidget(checkRow(5, QStringLiteral("постоянное имя файла (иначе имя=время)"), page));
    layout->addWidget(pathRow(2, page));

    // "не более" [count] "снимков в одной папке", the count set with a
    // small vertical scroll bar.
    QWidget* limit = checkRow(6, QStringLiteral("не более"), page);
    auto* limitLayout = static_cast<QHBoxLayout*>(limit->layout());
    delete limitLayout->takeAt(limitLayout->count() - 1); // the stretch goes last again
    m_maxFilesLabel = new QLabel(QStringLiteral("1000"), limit);
    m_maxFilesLabel->setObjectName(QStringLiteral("Label2"));
    m_maxFilesLabel->setMinimumWidth(40);
    m_maxFilesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pageScroll = new QScrollBar(Qt::Vertical, limit);
    m_pageScroll->setObjectName(QStringLiteral("VScroll1"));
    m_pageScroll->setRange(ProgramOptionsRules::MaxFilesMinimum,
                           ProgramOptionsRules::MaxFilesMaximum);
    m_pageScroll->setFixedSize(17, 30);
    connect(m_pageScroll, &QScrollBar::valueChanged, this, &ProgramOptionsWindow::onPageScrolled);
    m_infoIcon = new QLabel(limit);
    m_infoIcon->setObjectName(QStringLiteral("PicInfotip"));
    m_infoIcon->setPixmap(helpPicture());
    m_infoIcon->setToolTip(QStringLiteral("Что это за настройка?"));
    m_infoIcon->setCursor(Qt::PointingHandCursor);
    m_infoIcon->installEventFilter(this);
    limitLayout->addWidget(m_maxFilesLabel);
    limitLayout->addWidget(m_pageScroll);
    limitLayout->addWidget(new QLabel(QStringLiteral("снимков в одной папке"), limit));
    limitLayout->addWidget(m_infoIcon);
    limitLayout->addStretch(1);
    layout->addWidget(limit);
    layout->addStretch(1);
}

void ProgramOptionsWindow::buildDetectorPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(checkRow(10, QStringLiteral("сохранять снимки при движении в кадре"), page));
    layout->addWidget(checkRow(11, QStringLiteral("звук тревоги при движении в кадре"), page));
    layout->addWidget(pathRow(3, page));
    layout->addWidget(
        checkRow(12, QStringLiteral("запустить программу при движении в кадре"), page));
    layout->addWidget(pathRow(4, page));
    QWidget* wait = checkRow(14, QStringLiteral("и дождаться завершения ее работы"), page);
    wait->layout()->setContentsMargins(20, 0, 0, 0);
    layout->addWidget(wait);
    layout->addWidget(
        checkRow(13, QStringLiteral("оповестить сообщением из системного трея"), page));
    layout->addStretch(1);
}

void ProgramOptionsWindow::buildEventsPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    m_events = new EventsOptionsPage(page);
    layout->addWidget(m_events);
}

void ProgramOptionsWindow::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event)
    QPainter p(this);
    p.fillRect(rect(), Background);
}

bool ProgramOptionsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_infoIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onInfoClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
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

void ProgramOptionsWindow::fillControls() {
    const core::Settings& s = m_context.settings;
    m_qualitySlider->setMin(10);
    m_qualitySlider->setMax(100);
    m_qualitySlider->setStep(5);
    m_qualitySlider->setValue(s.jpegQuality);

    // Values set from code raise no clicked, so the dependent controls keep
    // their enabled state here.
    m_check[0]->setValue(s.startMinimized);
    m_check[1]->setValue(s.startWatching);
    m_check[2]->setValue(s.soundOnSave);
    m_text[0]->setText(s.saveSoundPath);
    m_check[3]->setValue(s.blockScreenSaver);
    m_check[15]->setValue(s.autoCheckUpdates);
    m_text[1]->setText(s.savePath);
    m_check[4]->setValue(s.createSubfolders);
    m_check[5]->setValue(s.singleFile);
    m_text[2]->setText(s.singleFileName);
    m_check[6]->setValue(s.limitFiles);
    const int count = std::clamp<int>(s.maxFileCount, ProgramOptionsRules::MaxFilesMinimum,
                                      ProgramOptionsRules::MaxFilesMaximum);
    m_maxFilesLabel->setText(QString::number(count));
    m_pageScroll->setValue(count);
    onPageScrolled(m_pageScroll->value());
    m_check[7]->setValue(s.saveAsJpeg);
    m_check[8]->setValue(s.imprintDate);
    m_check[9]->setValue(s.syncPreviewRate);
    m_check[10]->setValue(s.saveOnAlarm);
    m_check[11]->setValue(s.soundOnAlarm);
    m_text[3]->setText(s.alarmSoundPath);
    m_check[12]->setValue(s.runOnAlarm);
    m_text[4]->setText(s.alarmProgramPath);
    m_check[14]->setValue(s.waitForAlarmProgram);
    m_check[13]->setValue(s.balloonOnAlarm);
    m_events->fill(s);
}

void ProgramOptionsWindow::copyControls() {
    core::Settings& s = m_context.settings;
    s.startMinimized = m_check[0]->value();
    s.startWatching = m_check[1]->value();
    s.soundOnSave = m_check[2]->value();
    s.saveSoundPath = m_text[0]->text();
    s.blockScreenSaver = m_check[3]->value();
    s.autoCheckUpdates = m_check[15]->value();
    s.savePath = m_text[1]->text();
    s.createSubfolders = m_check[4]->value();
    s.singleFile = m_check[5]->value();
    s.singleFileName = m_text[2]->text();
    s.limitFiles = m_check[6]->value();
    s.maxFileCount = static_cast<qint16>(m_pageScroll->value());
    s.saveAsJpeg = m_check[7]->value();
    s.imprintDate = m_check[8]->value();
    s.jpegQuality = static_cast<qint16>(m_qualitySlider->value());
    s.syncPreviewRate = m_check[9]->value();
    s.saveOnAlarm = m_check[10]->value();
    s.soundOnAlarm = m_check[11]->value();
    s.alarmSoundPath = m_text[3]->text();
    s.runOnAlarm = m_check[12]->value();
    s.alarmProgramPath = m_text[4]->text();
    s.waitForAlarmProgram = m_check[14]->value();
    s.balloonOnAlarm = m_check[13]->value();
    m_events->copyTo(s);
}

void ProgramOptionsWindow::onCheckBoxClicked(int index) {
    const bool on = m_check[static_cast<std::size_t>(index)]->value();
    const auto follow = [this, on](int text) {
        m_text[static_cast<std::size_t>(text)]->setEnabled(on);
        m_sel[static_cast<std::size_t>(text)]->setEnabledCtrl(on);
    };
    switch (index) {
    case 2:
        follow(0);
        break;
    case 5:
        follow(2);
        break;
    case 11:
        follow(3);
        break;
    case 12:
        follow(4);
        m_check[14]->setEnabled(on);
        break;
    case 10:
        if (!on && m_loaded) {
            m_context.dialogs.message(Icon::Information, Attention,
                                      QStringLiteral("Учтите, что при отключении этой опции, "
                                                     "программа не сможет закачивать изображения "
                                                     "на FTP в режиме автосъемки."));
        }
        break;
    default:
        break;
    }
}

void ProgramOptionsWindow::onBrowseClicked(int index) {
    const QString sounds = QStringLiteral("Звуки (wav)|*.wav");
    const QString open = QStringLiteral("Открыть");
    QString chosen;
    switch (index) {
    case 0:
    case 3:
        chosen = m_pickers->openFile(open, sounds, QStringLiteral("*.wav"));
        break;
    case 1:
        chosen = m_pickers->browseFolder(this, QStringLiteral("Выберите каталог"));
        break;
    case 4:
        chosen = m_pickers->openFile(open, alarmProgramFilter(), QStringLiteral("*.*"));
        if (!chosen.isEmpty() && chosen == m_ownExecutable) {
            m_context.dialogs.message(Icon::Error, QStringLiteral("Защита от дурака"),
                                      QStringLiteral("Я не знаю, на что ты рассчитываешь, но "
                                                     "программа не будет запускать сама себя."));
            return;
        }
        break;
    default:
        // The fixed file name is typed, not picked.
        return;
    }
    if (!chosen.isEmpty())
        m_text[static_cast<std::size_t>(index)]->setText(chosen);
}

QString ProgramOptionsWindow::alarmProgramFilter() {
#ifdef Q_OS_WIN
    return QStringLiteral("Программы (.exe)|*.exe|Пакетные файлы (.bat)|*.bat|"
                          "Пакетные файлы (.cmd)|*.cmd");
#else
    // Programs here rarely carry an extension: scripts by their usual one,
    // anything else (executables) among all files.
    return QStringLiteral("Сценарии (.sh)|*.sh|Все файлы|*");
#endif
}

void ProgramOptionsWindow::onPageScrolled(int value) {
    m_maxFilesLabel->setText(QString::number(value));
    m_pageScroll->setSingleStep(ProgramOptionsRules::maxFilesStep(value));
}

void ProgramOptionsWindow::onOkClicked() {
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

void ProgramOptionsWindow::onSoundTestClicked(int index) {
    // Hiding ends a running exec(); the window comes back modeless below and
    // from then on looks after its own lifetime.
    hide();
    switch (index) {
    case 0:
        m_capture.chooseFormat();
        if (m_hideFormatLabel)
            m_hideFormatLabel();
        break;
    case 1:
        m_capture.chooseSource();
        break;
    case 2: {
        ResolutionWindow hd(m_context, m_capture);
        hd.exec();
        break;
    }
    default:
        break;
    }
    m_detached = true;
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowModality(Qt::NonModal);
    show();
}

void ProgramOptionsWindow::onInfoClicked() {
    const QStringList lines{
        QStringLiteral("Внимание!"),
        QString(),
        QStringLiteral("Будьте осторожны при использовании этой функции."),
        QStringLiteral("В целях ускорения работы с большим количеством файлов,"),
        QStringLiteral("программа не анализирует их имена и расширения, а просто"),
        QStringLiteral("удаляет лишние файлы, находящиеся вверху списка."),
        QString(),
        QStringLiteral("Перед началом работы настоятельно рекомендуется"),
        QStringLiteral("очистить каталог сохранения снимков, если там находятся"),
        QStringLiteral("предыдущие снимки."),
    };
    m_context.dialogs.message(Icon::Information, Attention, lines.join(QStringLiteral("\r\n")));
}

} // namespace vigilux::ui
