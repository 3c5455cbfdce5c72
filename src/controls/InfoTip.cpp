#include "controls/InfoTip.h"

#include "controls/InfoTipWindow.h"
#include "controls/SystemColor.h"
#include "controls/TipPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace vigilux::controls {

InfoTip::InfoTip(QObject* parent)
    : QObject(parent)
    , m_backColor(systemColor(SysColor::InfoBack))
    , m_foreColor(systemColor(SysColor::InfoText))
    , m_borderColor(systemColor(SysColor::DarkShadow3D))
    , m_titleColor(systemColor(SysColor::InfoText)) {}

InfoTip::~InfoTip() {
    // Going away takes the tip down; nobody is left to hear hidden().
    delete m_window.data();
}

void InfoTip::setPadding(int padding) {
    m_padding = std::max(0, padding);
}

void InfoTip::setTabSize(int size) {
    m_tabSize = std::max(0, size);
}

QWidget* InfoTip::window() const {
    return m_window.data();
}

InfoTipContent InfoTip::contentFor(const QString& message, const QString& title) const {
    InfoTipContent c;
    c.message = (message.isEmpty() ? m_text : message);
    c.message.replace(QLatin1Char('\t'), QString(m_tabSize, QLatin1Char(' ')));
    c.title = (title.isEmpty() ? m_title : title);
    c.title.remove(QLatin1Char('\t'));
    c.showTitle = m_showTitle;
    c.backColor = m_backColor;
    c.foreColor = m_foreColor;
    c.titleColor = m_titleColor;
    c.borderColor = m_borderColor;
    c.borderStyle = m_borderStyle;
    c.padding = m_padding;
    if (m_useSystemFont) {
        c.font = QApplication::font("QTipLabel");
    } else {
        QFont f(m_fontName);
        f.setPointSize(std::max(1, m_fontSize));
        f.setBold(m_fontBold);
        f.setItalic(m_fontItalic);
        f.setUnderline(m_fontUnderline);
        f.setStrikeOut(m_fontStrikethrough);
        c.font = f;
    }
    c.textAlignment = m_textAlignment;
    c.titleAlignment = m_titleAlignment;
    c.dropShadow = m_dropShadow;
    return c;
}

void InfoTip::show(const QString& message, const QString& title) {
    const InfoTipContent content = contentFor(message, title);
    if (!m_window) {
        m_window = new InfoTipWindow(m_owner.data());
        m_window->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                 Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
        m_window->setAttribute(Qt::WA_TranslucentBackground);
    }
    m_window->setContent(content);

    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen != nullptr ? screen->geometry() : QRect(0, 0, 800, 600);
    m_window->move(TipPlacement::place(pointer, InfoTipWindow::faceSize(content), screenRect,
                                       content.padding));
    m_window->show();
    m_window->raise();
}

void InfoTip::hide() {
    if (m_window)
        delete m_window.data();
    emit hidden();
}

} // namespace vigilux::controls
