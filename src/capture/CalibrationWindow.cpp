#include "capture/CalibrationWindow.h"

#include "controls/PushButton.h"
#include "platform/WindowTools.h"
#include "settings/AppContext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vigilux::capture {

namespace {
constexpr int WindowWidth = 420;
constexpr int BarHeight = 14;
const QColor Panel(234, 234, 234);
} // namespace

CalibrationWindow::CalibrationWindow(AppContext& context, DetectorSliders& sliders, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_instruction(new QLabel(this))
    , m_status(new QLabel(this))
    , m_cont(new QWidget(this))
    , m_bar(new QWidget(m_cont))
    , m_logic(context, sliders, *this) {
    setObjectName(QStringLiteral("Calibrate"));
    setWindowTitle(QStringLiteral("Автокалибровка"));

    m_instruction->setObjectName(QStringLiteral("Instruction"));
    m_instruction->setWordWrap(true);
    m_instruction->setText(QStringLiteral("Направьте камеру на место съемки. Недопустимо наличие "
                                          "движущихся объектов и/или смена освещения."));
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setText(QStringLiteral("Нажмите 'старт' чтобы начать калибровку"));

    // The container keeps its place while hidden, so the window never jumps.
    m_cont->setObjectName(QStringLiteral("Cont"));
    m_cont->setFixedSize(WindowWidth - 40, BarHeight);
    m_cont->setAutoFillBackground(true);
    m_cont->setPalette(QPalette(QColor(255, 255, 255)));
    QSizePolicy keep = m_cont->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_cont->setSizePolicy(keep);
    m_cont->hide();
    m_bar->setObjectName(QStringLiteral("Bar"));
    m_bar->setAutoFillBackground(true);
    QPalette barColour;
    barColour.setColor(QPalette::Window, QColor(90, 150, 220));
    m_bar->setPalette(barColour);
    m_bar->setGeometry(0, 0, 0, BarHeight);

    const QStringList captions{QStringLiteral("Старт"), QStringLiteral("Отмена")};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        auto* b = new controls::PushButton(captions.at(i), this);
        b->setObjectName(QStringLiteral("XpB_%1").arg(i));
        b->setCaption(captions.at(i));
        b->setFixedSize(110, 28);
        connect(b, &controls::PushButton::Click, this, [this, i] { XpB_Click(i); });
        m_xpb[static_cast<std::size_t>(i)] = b;
        buttons->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(m_instruction);
    layout->addWidget(m_status);
    layout->addWidget(m_cont);
    layout->addLayout(buttons);
    m_instruction->setFixedWidth(WindowWidth - 40);
    setFixedSize(WindowWidth, layout->sizeHint().height());

    if (!m_context.InTray)
        platform::MakeTopmost(*this);
    m_context.Calibration = this;
}

CalibrationWindow::~CalibrationWindow() {
    leave();
}

void CalibrationWindow::FPSValue(qint16 Value) {
    m_logic.FPSValue(Value);
}

void CalibrationWindow::PercentValue(qint32 Value) {
    m_logic.PercentValue(Value);
}

void CalibrationWindow::done(int r) {
    leave();
    QDialog::done(r);
}

void CalibrationWindow::leave() {
    if (m_left)
        return;
    m_left = true;
    m_logic.Closed();
    if (m_context.Calibration == this)
        m_context.Calibration = nullptr;
}

void CalibrationWindow::XpB_Click(int index) {
    if (index == 0)
        m_logic.Start();
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
    for (controls::PushButton* b : m_xpb)
        b->setEnabledCtrl(enabled);
}

void CalibrationWindow::showProgress() {
    m_cont->show();
}

int CalibrationWindow::progressWidth() const {
    return m_cont->width();
}

void CalibrationWindow::setBarWidth(int width) {
    m_bar->setGeometry(0, 0, width, BarHeight);
}

void CalibrationWindow::closeWindow() {
    reject();
}

void CalibrationWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Panel);
}

} // namespace vigilux::capture
