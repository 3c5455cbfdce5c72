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

void MainWindowLayout::buildButtons(int w) {
    const QStringList captions{
        QStringLiteral("Сделать снимок"),      QStringLiteral("Автосъемка вкл."),
        QStringLiteral("Настройки детектора"), QStringLiteral("Настройки программы"),
        QStringLiteral("Загрузка на FTP"),     QStringLiteral("Выход"),
        QStringLiteral("О программе"),         QStringLiteral("СМС-уведомления")};
    for (int i = 0; i < 8; ++i) {
        auto* button = new controls::PushButton(captions.at(i), &m_window);
        button->setObjectName(QStringLiteral("button%1").arg(i));
        button->setButtonStyle(3);
        // The longest captions fit on one line.
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        button->setFont(small);
        const int top = 32 + i * (ButtonHeight + 5) + (i >= 5 ? 8 : 0);
        button->setGeometry(w - 137, top, ButtonWidth, ButtonHeight);
        m_buttons[static_cast<size_t>(i)] = button;
    }
    m_buttons[7]->hide(); // the SMS window is not reached from here
    m_buttons[2]->setEnabled(false);
}

void MainWindowLayout::buildLabels(int h) {
    for (int i = 0; i < 6; ++i) {
        auto* label = new controls::OverlayLabel(&m_window);
        label->setObjectName(QStringLiteral("overlayLabel%1").arg(i));
        label->resize(LabelSize);
        label->setPanelColor(LabelGrey);
        label->hide();
        m_labels[static_cast<size_t>(i)] = label;
    }
    // Each label is as wide as the longest value it shows (five-digit rates
    // and counts, a 4K resolution), never narrower than designed.
    const std::array<QString, 6> longest{QStringLiteral("FPS: 99999"), QStringLiteral("32767"),
                                         QStringLiteral("4096x2160"),  QStringLiteral("100%"),
                                         QStringLiteral("100%"),       QStringLiteral("32767")};
    for (size_t i = 0; i < 6; ++i) {
        QLabel* text = m_labels[i]->textLabel();
        const QMargins margins = text->contentsMargins();
        const int needed = text->fontMetrics().horizontalAdvance(longest.at(i)) + margins.left() +
                           margins.right() + 4;
        m_labels[i]->resize(std::max(LabelSize.width(), needed), LabelSize.height());
    }
    m_labels[0]->move(12, h - 45);
    m_labels[4]->move(12, 34);
    m_labels[5]->move(m_labels[4]->geometry().right() + 5, 34);
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
    m_labels[0]->move(m_labels[0]->x(), H - 45);
    placeBottomLabels();
}

// The bottom row: rate and motion value from the left, resolution and
// preview interval ending at the picture's right edge.
void MainWindowLayout::placeBottomLabels() {
    const int row = m_labels[0]->y();
    m_labels[3]->move(m_labels[0]->geometry().right() + 5, row);
    m_labels[1]->move(m_window.width() - 143 - m_labels[1]->width(), row);
    m_labels[2]->move(m_labels[1]->x() - 5 - m_labels[2]->width(), row);
}

} // namespace vigilux::ui
