#include "ui/CalibrationWindow.h"

#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "platform/WindowTools.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vigilux::ui {

namespace {
constexpr int WindowWidth = 420;
constexpr int BarHeight = 14;
const QColor Panel(234, 234, 234);
} // namespace

CalibrationWindow::CalibrationWindow(AppContext& context, detection::DetectorSliders& sliders,
                                     QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_instruction(new QLabel(this))
    , m_status(new QLabel(this))
    , m_progressFrame(new QWidget(this))
    , m_progressBar(new QWidget(m_progressFrame))
    , m_logic(context, sliders, *this) {
    setObjectName(QStringLiteral("calibrationWindow"));
    setWindowTitle(QStringLiteral("Автокалибровка"));

    m_instruction->setObjectName(QStringLiteral("instruction"));
    m_instruction->setWordWrap(true);
    m_instruction->setText(QStringLiteral("Направьте камеру на место съемки. Недопустимо наличие "
                                          "движущихся объектов и/или смена освещения."));
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setText(QStringLiteral("Нажмите 'старт' чтобы начать калибровку"));

    // The container keeps its place while hidden, so the window never jumps.
    m_progressFrame->setObjectName(QStringLiteral("progressFrame"));
    m_progressFrame->setFixedSize(WindowWidth - 40, BarHeight);
    m_progressFrame->setAutoFillBackground(true);
    m_progressFrame->setPalette(QPalette(QColor(255, 255, 255)));
    QSizePolicy keep = m_progressFrame->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progressFrame->setSizePolicy(keep);
    m_progressFrame->hide();
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setAutoFillBackground(true);
    QPalette barColour;
    barColour.setColor(QPalette::Window, QColor(90, 150, 220));
    m_progressBar->setPalette(barColour);
    m_progressBar->setGeometry(0, 0, 0, BarHeight);

    const QStringList captions{QStringLiteral("Старт"), QStringLiteral("Отмена")};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        auto* b = new controls::PushButton(captions.at(i), this);
        b->setObjectName(QStringLiteral("button%1").arg(i));
        b->setCaption(captions.at(i));
        b->setFixedSize(110, 28);
        connect(b, &controls::PushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons[static_cast<std::size_t>(i)] = b;
        buttons->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(m_instruction);
    layout->addWidget(m_status);
    layout->addWidget(m_progressFrame);
    layout->addLayout(buttons);
    m_instruction->setFixedWidth(WindowWidth - 40);
    setFixedSize(WindowWidth, layout->sizeHint().height());

    if (!m_context.inTray)
        platform::makeTopmost(*this);
    m_context.calibration = this;
}

CalibrationWindow::~CalibrationWindow() {
    leave();
}

void CalibrationWindow::speedValue(qint16 value) {
    m_logic.speedValue(value);
}

void CalibrationWindow::similarityValue(qint32 value) {
    m_logic.similarityValue(value);
}

void CalibrationWindow::done(int r) {
    leave();
    QDialog::done(r);
}

void CalibrationWindow::leave() {
    if (m_left)
        return;
    m_left = true;
    m_logic.closed();
    if (m_context.calibration == this)
        m_context.calibration = nullptr;
}

void CalibrationWindow::onButtonClicked(int index) {
    if (index == 0)
        m_logic.start();
    else
        reject();
}

void CalibrationWindow::setInstruction(const QString& text) {
    m_instruction->setText(text);
}

void CalibrationWindow::setStatus(const QString& text) {
    m_status->setText(text);
}

void CalibrationWindow::setButtonsEnabled(bool enabled) {
    for (controls::PushButton* b : m_buttons)
        b->setEnabledCtrl(enabled);
}

void CalibrationWindow::showProgress() {
    m_progressFrame->show();
}

int CalibrationWindow::progressWidth() const {
    return m_progressFrame->width();
}

void CalibrationWindow::setBarWidth(int width) {
    m_progressBar->setGeometry(0, 0, width, BarHeight);
}

void CalibrationWindow::closeWindow() {
    reject();
}

void CalibrationWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

} // namespace vigilux::ui
