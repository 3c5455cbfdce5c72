#include "ui/MainWindowLayout.h"

#include "app/Resizer.h"
#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "controls/SizeGrip.h"
#include "controls/TitleBarButton.h"
#include "ui/BlackPictureNotice.h"
#include "ui/CaptureControl.h"
#include "ui/HeaderPiece.h"
#include "ui/SavedMark.h"
#include "ui/StatusLabel.h"

#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace vigilux::ui {

namespace {

constexpr int HeaderHeight = HeaderPiece::Height;
constexpr int ButtonHeight = 26;
constexpr int ButtonWidth = 131;
constexpr QSize LabelSize(56, 16);
const QColor Border(120, 128, 140);

} // namespace

const QColor MainWindowLayout::LabelGrey(234, 234, 234);
const QColor MainWindowLayout::AlarmRed(255, 0, 0);

MainWindowLayout::MainWindowLayout(QWidget& window, ui::CaptureControl& capture, QWidget& record,
                                   platform::UrlOpener& urls)
    : m_window(window)
    , m_capture(capture)
    , m_record(record) {
    const int w = window.width();
    const int h = window.height();

    for (int i = 0; i < 3; ++i) {
        auto* piece = new HeaderPiece(i, &window);
        piece->setObjectName(QStringLiteral("header%1").arg(i));
        m_header[static_cast<size_t>(i)] = piece;
    }
    m_header[0]->setGeometry(0, 0, w, HeaderHeight);
    m_header[1]->setGeometry(28, 0, w - 28, HeaderHeight);
    m_header[2]->setGeometry(w - 80, 0, 80, HeaderHeight);
    buildTitleBar(w);

    m_capture.setGeometry(8, 30, w - 152, h - 59);
    buildButtons(w);
    buildLabels(h);

    m_statusLine = new StatusLabel(&window);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setGeometry(6, h - 19, w - 25, 16);

    m_savedMark = new SavedMark(&window);
    m_savedMark->setObjectName(QStringLiteral("savedMark"));
    m_savedMark->move(w - 178, h - 77);
    m_savedMark->hide();

    // The indicator sits on the header, above it.
    m_record.raise();
    m_record.move(w - 167, 6);

    m_blackPicture = new BlackPictureNotice(urls, &window);

    for (int i = 0; i < 4; ++i) {
        auto* line = new QWidget(&window);
        line->setObjectName(QStringLiteral("borderLine%1").arg(i));
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, Border);
        line->setPalette(pal);
        m_borderLines[static_cast<size_t>(i)] = line;
    }

    m_sizeGrip = new controls::SizeGrip(&window);
    m_sizeGrip->setObjectName(QStringLiteral("sizeGrip"));
}

void MainWindowLayout::buildTitleBar(int w) {
    using controls::TitleBarButton;
    m_closeButton = new TitleBarButton(TitleBarButton::Kind::Close, &m_window);
    m_hideButton = new TitleBarButton(TitleBarButton::Kind::HideToTray, &m_window);
    m_maximizeButton = new TitleBarButton(TitleBarButton::Kind::MaximizeRestore, &m_window);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_hideButton->setObjectName(QStringLiteral("hideButton"));
    m_maximizeButton->setObjectName(QStringLiteral("maximizeButton"));
    m_hideButton->setNoHoverWhileDisabled(true);
    m_maximizeButton->setNoHoverWhileDisabled(true);
    m_closeButton->move(w - 26, 3);
    m_hideButton->move(w - 71, 3);
    m_maximizeButton->move(w - 48, 3);
}

QString MainWindowLayout::objectName(Button which) {
    switch (which) {
    case Button::Snapshot:
        return QStringLiteral("snapshotButton");
    case Button::Watch:
        return QStringLiteral("watchButton");
    case Button::DetectorSettings:
        return QStringLiteral("detectorSettingsButton");
    case Button::ProgramOptions:
        return QStringLiteral("programOptionsButton");
    case Button::FtpSettings:
        return QStringLiteral("ftpSettingsButton");
    case Button::Exit:
        return QStringLiteral("exitButton");
    case Button::About:
        return QStringLiteral("aboutButton");
    case Button::SmsSettings:
        return QStringLiteral("smsSettingsButton");
    }
    return {};
}

QString MainWindowLayout::objectName(Label which) {
    switch (which) {
    case Label::Speed:
        return QStringLiteral("speedLabel");
    case Label::Interval:
        return QStringLiteral("intervalLabel");
    case Label::ImageFormat:
        return QStringLiteral("imageFormatLabel");
    case Label::Motion:
        return QStringLiteral("motionLabel");
    case Label::Threshold:
        return QStringLiteral("thresholdLabel");
    case Label::AlarmCount:
        return QStringLiteral("alarmCountLabel");
    }
    return {};
}

void MainWindowLayout::buildButtons(int w) {
    const std::array<QString, ButtonCount> captions{
        QStringLiteral("Сделать снимок"),      QStringLiteral("Автосъемка вкл."),
        QStringLiteral("Настройки детектора"), QStringLiteral("Настройки программы"),
        QStringLiteral("Загрузка на FTP"),     QStringLiteral("Выход"),
        QStringLiteral("О программе"),         QStringLiteral("СМС-уведомления")};
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new controls::PushButton(captions.at(static_cast<size_t>(i)), &m_window);
        button->setObjectName(objectName(static_cast<Button>(i)));
        button->setButtonStyle(3);
        // The longest captions fit on one line.
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        button->setFont(small);
        // A gap sets the window's commands (from Exit on) apart.
        const int top = 32 + i * (ButtonHeight + 5) + (i >= static_cast<int>(Button::Exit) ? 8 : 0);
        button->setGeometry(w - 137, top, ButtonWidth, ButtonHeight);
        m_buttons[static_cast<size_t>(i)] = button;
    }
    this->button(Button::SmsSettings).hide();
    this->button(Button::DetectorSettings).setEnabled(false);
}

void MainWindowLayout::buildLabels(int h) {
    for (int i = 0; i < LabelCount; ++i) {
        auto* label = new controls::OverlayLabel(&m_window);
        label->setObjectName(objectName(static_cast<Label>(i)));
        label->resize(LabelSize);
        label->setPanelColor(LabelGrey);
        label->hide();
        m_labels[static_cast<size_t>(i)] = label;
    }
    // Each label is as wide as the longest value it shows (five-digit rates
    // and counts, a 4K resolution), never narrower than designed.
    const std::array<QString, LabelCount> longest{
        QStringLiteral("FPS: 99999"), QStringLiteral("32767"), QStringLiteral("4096x2160"),
        QStringLiteral("100%"),       QStringLiteral("100%"),  QStringLiteral("32767")};
    for (size_t i = 0; i < m_labels.size(); ++i) {
        QLabel* text = m_labels[i]->textLabel();
        const QMargins margins = text->contentsMargins();
        const int needed = text->fontMetrics().horizontalAdvance(longest.at(i)) + margins.left() +
                           margins.right() + 4;
        m_labels[i]->resize(std::max(LabelSize.width(), needed), LabelSize.height());
    }
    label(Label::Speed).move(12, h - 45);
    label(Label::Threshold).move(12, 34);
    label(Label::AlarmCount).move(label(Label::Threshold).geometry().right() + 5, 34);
    placeBottomLabels();
}

void MainWindowLayout::placeLine(int index) {
    const QLineF& l = m_borderGeometry[static_cast<size_t>(index)];
    const QRectF r = QRectF(l.p1(), l.p2()).normalized();
    m_borderLines[static_cast<size_t>(index)]->setGeometry(qRound(r.left()), qRound(r.top()),
                                                           std::max(1, qRound(r.width())),
                                                           std::max(1, qRound(r.height())));
}

void MainWindowLayout::placeBorderLines() {
    // Left, right, bottom and top edges, one pixel wide.
    const double w = m_window.width();
    const double h = m_window.height();
    m_borderGeometry = {QLineF(0, 0, 0, h), QLineF(w - 1, 0, w - 1, h), QLineF(0, h - 1, w, h - 1),
                        QLineF(0, 0, w, 0)};
    for (int i = 0; i < 4; ++i)
        placeLine(i);
}

void MainWindowLayout::resize(const QSize& old, const QSize& now) {
    const int W = now.width();
    const int H = now.height();
    for (int i = 0; i < 4; ++i) {
        m_borderGeometry[static_cast<size_t>(i)] =
            app::Resizer::scale(m_borderGeometry[static_cast<size_t>(i)], old, now);
        placeLine(i);
    }
    for (auto* b : m_buttons)
        b->move(W - 137, b->y());
    m_capture.resize(W - 152, H - 59);
    m_statusLine->setGeometry(m_statusLine->x(), H - 19, W - 25, m_statusLine->height());
    m_header[0]->resize(W - m_header[0]->x(), m_header[0]->height());
    m_header[1]->resize(W - m_header[1]->x(), m_header[1]->height());
    m_header[2]->move(W - m_header[2]->width(), m_header[2]->y());
    m_closeButton->move(W - 26, m_closeButton->y());
    m_hideButton->move(W - 71, m_hideButton->y());
    m_maximizeButton->move(W - 48, m_maximizeButton->y());
    m_record.move(W - 167, m_record.y());
    m_savedMark->move(W - 178, H - 77);
    label(Label::Speed).move(label(Label::Speed).x(), H - 45);
    placeBottomLabels();
}

// The bottom row: rate and motion value from the left, resolution and
// preview interval ending at the picture's right edge.
void MainWindowLayout::placeBottomLabels() {
    controls::OverlayLabel& speed = label(Label::Speed);
    controls::OverlayLabel& interval = label(Label::Interval);
    const int row = speed.y();
    label(Label::Motion).move(speed.geometry().right() + 5, row);
    interval.move(m_window.width() - 143 - interval.width(), row);
    label(Label::ImageFormat).move(interval.x() - 5 - label(Label::ImageFormat).width(), row);
}

} // namespace vigilux::ui
