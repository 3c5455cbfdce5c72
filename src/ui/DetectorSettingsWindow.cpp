#include "ui/DetectorSettingsWindow.h"

#include "controls/CursorProbe.h"
#include "controls/InfoTip.h"
#include "controls/PushButton.h"
#include "controls/Slider.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/SettingsStorage.h"
#include "platform/WindowTools.h"
#include "resources/Pictures.h"
#include "ui/CalibrationWindow.h"
#include "ui/SettingBinding.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace vigilux::ui {

namespace {

constexpr int WindowWidth = 500;
constexpr int PicSide = 18;
const QColor Panel(234, 234, 234);

// The range of each slider is its key's.
struct SliderSetup {
    const char* key;
    int step;
    const char* caption;
};

const std::array<SliderSetup, 3> Setups{{
    {"Timer", 100, "таймер (быстрые/медленные движения), мсек"},
    {"Noise", 1, "шумность камеры (сглаживание помех), %"},
    {"Percent", 1, "порог срабатывания (разница между кадрами, не более), %"},
}};

QString lines(std::initializer_list<const char*> parts) {
    QStringList out;
    for (const char* part : parts)
        out << QString::fromUtf8(part);
    return out.join(QStringLiteral("\r\n"));
}

// The help picture: a question mark in a blue disc.
QPixmap helpPicture() {
    return QPixmap::fromImage(
        resources::Pictures::image(QStringLiteral("help-detector"), QSize(PicSide, PicSide)));
}

} // namespace

const std::array<QString, 3>& DetectorSettingsWindow::tipTitles() {
    static const std::array<QString, 3> titles{
        QStringLiteral("Таймер, мсек (оптимальное значение 250-1000)"),
        QStringLiteral("Сглаживание шума, % (оптимальное значение 3-8)"),
        QStringLiteral("Порог срабатывания, % (оптимальное значение 3-10)"),
    };
    return titles;
}

const std::array<QString, 3>& DetectorSettingsWindow::tipTexts() {
    static const std::array<QString, 3> texts{
        lines({
            "Этот параметр определяет промежуток времени между съемкой двух кадров, которые будут",
            "сравниваться детектором движения.",
            "",
            "Чем меньше этот промежуток, тем на более быстрые движения реагирует детектор.",
            "Однако, учтите, что слишком малое значение параметра приведет к слишком большому",
            "количеству отснятых изображений (до 10 изображений в секунду при параметре 100).",
            "",
            "Также, малое значение параметра может привести к чрезмерной загрузке системных "
            "ресурсов.",
            "",
            "При слишком большом значении параметра детектор не реагирует на быстрые движения.",
        }),
        lines({
            "Матрица камеры обладает т.н. тепловым шумом, который выглядит как мерцающие",
            "цветные точки на изображении. Это зависит от качества камеры, освещения и т.д.",
            "Из-за шума одинаковые кадры всегда будут иметь некоторый процент расхождения.",
            "",
            "Чем больше это значение, тем сильнее программа подавляет тепловые шумы перед",
            "сравнением, посредством размытия изображений в детекторе движения.",
            "",
            "Излишне большое значение параметра приведет к тому, что детектор перестанет ",
            "реагировать на незначительные перемещения в кадре (уменьшение чувствительности).",
            "",
            "При слишком малом значении шумы будут забивать полезный сигнал и приводить",
            "к ложным срабатываниям, также вы будете вынуждены ухудшать порог срабатывания.",
            "",
            "Настоятельно не рекомендуется люминисцентное и иное мерцающее освещение, т.к. оно",
            "резко увеличивает паразитный сигнал, воспринимаемый детектором как шум.",
            "",
            "Учитывайте также, что уменьшение освещенности повышает количество тепловых шумов.",
        }),
        lines({
            "Процент расхождения между двумя соседними кадрами, достижение или превышение",
            "которого детектор воспримет как движение в зоне наблюдения.",
            "",
            "Чем больше это значение, тем на более значительные изменения изображения",
            "среагирует детектор, игнорируя при этом мелкие изменения (движения).",
            "",
            "При излишне малом значении параметра вероятны ложные срабатывания детектора.",
            "",
            "Оптимальная настройка параметра сглаживания шума позволяет установить значение",
            "порога срабатывания в пределах рекомендуемых 3-10%",
            "",
            "Выбирайте значение этого параметра на 1-3% больше, чем максимальные всплески",
            "детектора движения от тепловых шумов при отсутствии движения в кадре.",
        }),
    };
    return texts;
}

DetectorSettingsWindow::DetectorSettingsWindow(AppContext& context, core::SettingsStorage& options,
                                               core::DetectorValuesTarget& detectorValuesTarget,
                                               QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_options(options)
    , m_detectorValuesTarget(detectorValuesTarget)
    , m_runCalibration([](CalibrationWindow& window) { window.exec(); }) {
    m_context.detectorWindowOpen = true;
    setObjectName(QStringLiteral("detectorSettingsWindow"));
    setWindowTitle(QStringLiteral("Детектор движения"));

    // The items' order is the stored words' (Bytes, Objects).
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("detectorKind"));
    m_kind->addItems({QStringLiteral("сравнение кадров"), QStringLiteral("поиск объектов")});
    SettingBinding<core::Settings>::bind(m_kind, QStringLiteral("Kind"));
    m_objectsButton = new controls::PushButton(QStringLiteral("Поиск объектов..."), this);
    m_objectsButton->setObjectName(QStringLiteral("objectsButton"));
    m_objectsButton->setCaption(QStringLiteral("Поиск объектов..."));
    m_objectsButton->setFixedSize(150, 28);
    m_objectsButton->hide();
    connect(m_objectsButton, &controls::PushButton::clicked, this,
            [this] { openObjectWindow(false); });
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(QStringLiteral("Детектор:"), this));
    kindRow->addWidget(m_kind, 1);
    kindRow->addWidget(m_objectsButton);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    const QPixmap picture = helpPicture();
    for (int i = 0; i < 3; ++i) {
        const auto n = static_cast<std::size_t>(i);
        const SliderSetup& setup = Setups[n];
        auto* caption = new QLabel(QString::fromUtf8(setup.caption), this);
        caption->setObjectName(QStringLiteral("caption%1").arg(i));

        auto* slider = new controls::Slider(this);
        slider->setObjectName(QStringLiteral("slider%1").arg(i));
        SettingBinding<core::Settings>::bind(slider, QString::fromLatin1(setup.key));
        slider->setStep(setup.step);
        connect(slider, &controls::Slider::changed, this,
                [this, i](int value) { onSliderChanged(core::DetectorValue(i), value); });
        m_slider[n] = slider;

        auto* pic = new QLabel(this);
        pic->setObjectName(QStringLiteral("infoIcon%1").arg(i));
        pic->setPixmap(picture);
        pic->setFixedSize(PicSide, PicSide);
        pic->setToolTip(QStringLiteral("Что это за настройка?"));
        pic->setCursor(Qt::WhatsThisCursor);
        pic->installEventFilter(this);
        m_pic[n] = pic;

        grid->addWidget(caption, 3 * i, 0, 1, 2);
        grid->addWidget(slider, 3 * i + 1, 0);
        grid->addWidget(pic, 3 * i + 1, 1, Qt::AlignTop);
        grid->setRowMinimumHeight(3 * i + 2, 10);
    }
    SettingBinding<core::Settings>::fill(this, m_context.settings);

    const QStringList captions{QStringLiteral("OK"), QStringLiteral("Отмена"),
                               QStringLiteral("Автокалибровка")};
    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* b = new controls::PushButton(captions.at(i), this);
        b->setObjectName(QStringLiteral("button%1").arg(i));
        b->setCaption(captions.at(i));
        b->setFixedSize(i == 2 ? 130 : 90, 28);
        connect(b, &controls::PushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons[static_cast<std::size_t>(i)] = b;
    }
    buttons->addWidget(m_buttons[2]);
    buttons->addStretch();
    buttons->addWidget(m_buttons[0]);
    buttons->addWidget(m_buttons[1]);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addLayout(kindRow);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setFixedSize(WindowWidth, layout->sizeHint().height());

    m_tipPollTimer.setInterval(kTipPollMs);
    connect(&m_tipPollTimer, &QTimer::timeout, this, &DetectorSettingsWindow::onTipPoll);

    if (!m_context.inTray)
        platform::makeTopmost(*this);
}

DetectorSettingsWindow::~DetectorSettingsWindow() {
    leave();
}

void DetectorSettingsWindow::done(int r) {
    leave();
    QDialog::done(r);
}

void DetectorSettingsWindow::leave() {
    if (m_left)
        return;
    m_left = true;
    dropTip();
    m_context.detectorWindowOpen = false;
}

void DetectorSettingsWindow::onSliderChanged(core::DetectorValue which, qint32 value) {
    auto& live = m_context.settings.liveDetectorValues;
    live[which] = value;
    m_detectorValuesTarget.setDetectorValue(which, value);
}

void DetectorSettingsWindow::setSlider(core::DetectorValue which, qint32 value) {
    controls::Slider* slider = m_slider[which];
    value = std::clamp(value, qint32(slider->minimum()), qint32(slider->maximum()));
    slider->setValue(value);
    onSliderChanged(which, value);
}

qint32 DetectorSettingsWindow::sliderValue(core::DetectorValue which) const {
    return m_slider[which]->value();
}

void DetectorSettingsWindow::onButtonClicked(int index) {
    auto& stored = m_context.settings.detectorValues;
    switch (index) {
    case 0:
        SettingBinding<core::Settings>::copy(this, m_context.settings);
        m_options.saveDetectorValues();
        [[fallthrough]];
    case 1:
        for (const core::DetectorValue which : core::AllDetectorValues)
            m_detectorValuesTarget.setDetectorValue(which, stored[which]);
        if (index == 0)
            accept();
        else
            reject();
        break;
    case 2:
        autocalibrate();
        break;
    default:
        break;
    }
}

void DetectorSettingsWindow::setObjectWindowOpener(ObjectWindowOpener opener) {
    m_openObjectWindow = std::move(opener);
    m_objectsButton->setVisible(bool(m_openObjectWindow));
}

void DetectorSettingsWindow::openObjectWindow(bool calibrate) {
    if (!m_openObjectWindow)
        return;
    // Hidden as a plain widget, as for the calibration below.
    QWidget::setVisible(false);
    m_openObjectWindow(calibrate);
    show();
}

void DetectorSettingsWindow::autocalibrate() {
    // The object detector measures the scene in its own window.
    if (m_openObjectWindow &&
        m_kind->currentIndex() == int(core::Settings::DetectorKind::Objects)) {
        openObjectWindow(true);
        return;
    }
    // QDialog's own hide would end the main window's exec() of this window;
    // hiding as a plain widget keeps it open while the calibration runs.
    QWidget::setVisible(false);
    {
        CalibrationWindow calibration(m_context, *this, parentWidget());
        m_runCalibration(calibration);
    }
    show();
    const auto live = m_context.settings.liveDetectorValues;
    for (const core::DetectorValue which : core::AllDetectorValues)
        onSliderChanged(which, live[which]);
}

bool DetectorSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto it = std::find(m_pic.begin(), m_pic.end(), watched);
        if (it != m_pic.end()) {
            showTip(static_cast<int>(it - m_pic.begin()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DetectorSettingsWindow::showTip(int index) {
    dropTip();
    const auto n = static_cast<std::size_t>(index);
    m_tip = std::make_unique<controls::InfoTip>();
    m_tip->setOwner(this);
    m_tip->setShowTitle(true);
    m_tip->setUseTimeOut(false);
    m_tip->setDropShadow(false);
    m_tip->setTitle(tipTitles()[n]);
    m_tip->setText(tipTexts()[n]);
    m_tip->show();
    m_tipIndex = index;
    m_tipPollTimer.start();
}

void DetectorSettingsWindow::onTipPoll() {
    if (m_tipIndex >= 0 && controls::cursorOver(infoIcon(m_tipIndex)))
        return;
    dropTip();
}

void DetectorSettingsWindow::dropTip() {
    m_tipPollTimer.stop();
    m_tip.reset();
    m_tipIndex = -1;
}

void DetectorSettingsWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

} // namespace vigilux::ui
