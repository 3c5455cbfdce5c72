#include "controls/PushButton.h"

#include "controls/AccessKey.h"
#include "controls/ButtonLayout.h"
#include "controls/MouseCodes.h"
#include "controls/SystemColor.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

#include <algorithm>

namespace vigilux::controls {

const QColor PushButton::DefaultPressedColor = QColor(140, 170, 230);
const QColor PushButton::DefaultHoverColor = QColor(225, 153, 71);

namespace {

constexpr int TextFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

void drawEdge(QPainter& p, const QRect& r, bool sunken) {
    const QColor outerTL = systemColor(sunken ? SysColor::BtnShadow : SysColor::Light3D);
    const QColor outerBR = systemColor(sunken ? SysColor::BtnHighlight : SysColor::DarkShadow3D);
    const QColor innerTL = systemColor(sunken ? SysColor::DarkShadow3D : SysColor::BtnHighlight);
    const QColor innerBR = systemColor(sunken ? SysColor::Light3D : SysColor::BtnShadow);
    const auto frame = [&p](const QRect& f, const QColor& tl, const QColor& br) {
        p.setPen(tl);
        p.drawLine(f.topLeft(), f.topRight());
        p.drawLine(f.topLeft(), f.bottomLeft());
        p.setPen(br);
        p.drawLine(f.bottomLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomRight());
    };
    frame(r, outerTL, outerBR);
    frame(r.adjusted(1, 1, -1, -1), innerTL, innerBR);
}

QImage greyed(const QImage& source) {
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    return img;
}

} // namespace

PushButton::PushButton(QWidget* parent)
    : PushButton(QString(), parent) {
    m_captionSet = false;
    // A newly placed button shows its own name until given a caption.
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
        if (!m_captionSet) {
            setCaption(name);
            m_captionSet = false;
        }
    });
}

PushButton::PushButton(const QString& caption, QWidget* parent)
    : QWidget(parent)
    , m_xpPressed(systemColor(SysColor::BtnHighlight))
    , m_xpHover(systemColor(SysColor::Light3D)) {
    setMinimumSize(MinimumSide, MinimumSide);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setDefaultColors(true);
    setCaption(caption);
}

PushButton::~PushButton() = default;

void PushButton::setCaption(const QString& caption) {
    m_caption = caption;
    m_captionSet = true;
    if (m_shortcutId != 0) {
        releaseShortcut(m_shortcutId);
        m_shortcutId = 0;
    }
    m_accessKey = AccessKey::keyOf(caption);
    if (!m_accessKey.isNull())
        m_shortcutId = grabShortcut(QKeySequence(QKeyCombination(
            Qt::AltModifier, static_cast<Qt::Key>(m_accessKey.toUpper().unicode()))));
    updateGeometry();
    refresh();
}

void PushButton::setButtonStyle(int style) {
    m_buttonStyle = std::clamp(style, 0, 3);
    refresh();
}

void PushButton::setPicturePosition(int position) {
    m_picturePosition = std::clamp(position, 0, 3);
    refresh();
}

void PushButton::setPicture(const QPixmap& picture) {
    m_picture = picture;
    updateGeometry();
    refresh();
}

void PushButton::setPictureWidth(int width) {
    m_pictureWidth = std::max(0, width);
    updateGeometry();
    refresh();
}

void PushButton::setPictureHeight(int height) {
    m_pictureHeight = std::max(0, height);
    updateGeometry();
    refresh();
}

void PushButton::setEnabledCtrl(bool enabled) {
    setEnabled(enabled);
    dropTransientState();
    m_hasFocus = false;
    refresh();
}

void PushButton::setShowFocusRect(bool on) {
    m_showFocusRect = on;
    refresh();
}

void PushButton::setPressedColor(const QColor& color) {
    m_xpPressed = color;
    refresh();
}

void PushButton::setHoverColor(const QColor& color) {
    m_xpHover = color;
    refresh();
}

void PushButton::setDefaultColors(bool on) {
    m_xpDefaultColors = on;
    if (on) {
        m_xpPressed = DefaultPressedColor;
        m_xpHover = DefaultHoverColor;
    }
    refresh();
}

void PushButton::setMaskColor(const QColor& color) {
    m_maskColor = color;
    refresh();
}

void PushButton::setUseMaskColor(bool on) {
    m_useMaskColor = on;
    refresh();
}

void PushButton::refresh() {
    update();
}

void PushButton::forceState(bool hover, bool pressed, bool focus) {
    m_isHover = hover;
    m_isPressed = pressed;
    m_hasFocus = focus;
    refresh();
}

QSize PushButton::sizeHint() const {
    const QFontMetrics fm(font());
    QSize text = fm.size(Qt::TextShowMnemonic, m_caption);
    QSize pic = m_picture.isNull() ? QSize() : QSize(m_pictureWidth, m_pictureHeight);
    QSize block = text;
    if (!pic.isEmpty()) {
        const bool vertical = m_picturePosition == 0 || m_picturePosition == 3;
        block = vertical ? QSize(std::max(text.width(), pic.width()),
                                 text.height() + ButtonLayout::Gap + pic.height())
                         : QSize(text.width() + ButtonLayout::Gap + pic.width(),
                                 std::max(text.height(), pic.height()));
    }
    return QSize(std::max(75, block.width() + 2 * ButtonLayout::Inset + 12),
                 std::max(23, block.height() + 2 * ButtonLayout::Inset + 4));
}

QRect PushButton::contentRect() const {
    return rect().adjusted(ButtonLayout::Inset, ButtonLayout::Inset, -ButtonLayout::Inset,
                           -ButtonLayout::Inset);
}

PushButton::Placement PushButton::placement() const {
    const QRect content = contentRect();
    const QSize pic = m_picture.isNull() ? QSize() : QSize(m_pictureWidth, m_pictureHeight);
    QSize text;
    if (!m_caption.isEmpty()) {
        int room = content.width();
        if (!pic.isEmpty() && (m_picturePosition == 1 || m_picturePosition == 2))
            room -= pic.width() + ButtonLayout::Gap;
        const QFontMetrics fm(font());
        text = fm.boundingRect(QRect(0, 0, std::max(1, room), 10000), TextFlags, m_caption).size();
    }
    const auto r = ButtonLayout::place(content, text, pic, m_picturePosition);
    return {r.picture, r.caption};
}

QRect PushButton::pictureRect() const {
    return placement().picture;
}
QRect PushButton::captionRect() const {
    return placement().caption;
}

bool PushButton::over(const QPointF& globalPos) const {
    return isVisible() && QApplication::widgetAt(globalPos.toPoint()) == this;
}

void PushButton::releaseCapture() {
    if (mouseGrabber() == this)
        releaseMouse();
}

void PushButton::dropTransientState() {
    releaseCapture();
    m_isPressed = false;
    m_isHover = false;
}

bool PushButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Shortcut:
        if (static_cast<QShortcutEvent*>(event)->shortcutId() == m_shortcutId) {
            if (isEnabled())
                emit clicked();
            return true;
        }
        break;
    case QEvent::WindowBlocked:
    case QEvent::WindowDeactivate:
        // A modal window or another application took over: a held capture
        // would swallow its mouse input.
        if (m_isHover || m_isPressed) {
            dropTransientState();
            refresh();
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PushButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        dropTransientState();
        refresh();
    }
}

void PushButton::hideEvent(QHideEvent* event) {
    dropTransientState();
    QWidget::hideEvent(event);
}

void PushButton::leaveEvent(QEvent* event) {
    // Where the window system grants no pointer grab (Wayland), the move
    // that leaves the window never reaches us; the leave does.
    if (m_isHover && !over(QCursor::pos())) {
        releaseCapture();
        m_isHover = false;
        m_isPressed = false;
        emit mouseLeft(shiftCode(QGuiApplication::keyboardModifiers()));
        refresh();
    }
    QWidget::leaveEvent(event);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    const int shift = shiftCode(event->modifiers());
    const bool inside = over(event->globalPosition());
    if (m_isHover && !inside) {
        releaseCapture();
        m_isHover = false;
        m_isPressed = false;
        emit mouseLeft(shift);
        refresh();
    } else if (!m_isHover && inside) {
        releaseCapture();
        m_isPressed = (event->buttons() & Qt::LeftButton) != 0;
        m_isHover = true;
        emit mouseEntered(shift);
        refresh();
        // The capture brings the move that leaves the button, wherever it
        // goes, so mouseLeft is never missed.
        if (isVisible() && isEnabled())
            grabMouse();
    } else if (!m_isHover && !inside && m_isPressed) {
        // Pressed without a hover (no move since the last release) and
        // dragged off: the face must not stay pushed while away.
        m_isPressed = false;
        refresh();
    }
    const QPointF p = event->position();
    emit mouseMove(buttonsCode(event->buttons()), shift, static_cast<float>(p.x()),
                   static_cast<float>(p.y()));
}

void PushButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_isPressed = true;
        refresh();
    }
    const QPointF p = event->position();
    emit mouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void PushButton::mouseReleaseEvent(QMouseEvent* event) {
    mouseUpStep(buttonCode(event->button()), shiftCode(event->modifiers()), event->position(),
                over(event->globalPosition()));
}

void PushButton::mouseUpStep(int button, int shift, QPointF localPos, bool clickAllowed) {
    releaseCapture();
    if (button == 1 && clickAllowed)
        emit clicked();
    emit mouseUp(button, shift, static_cast<float>(localPos.x()), static_cast<float>(localPos.y()));
    m_isPressed = false;
    m_isHover = false;
    refresh();
}

void PushButton::keyPressEvent(QKeyEvent* event) {
    const bool space = event->key() == Qt::Key_Space;
    if (space && !m_isPressed) {
        m_isPressed = true;
        m_isHover = true;
        refresh();
    }
    emit keyDown(event->key(), shiftCode(event->modifiers()));
    if (!space)
        event->ignore(); // let the window see Enter, Escape, Tab
}

void PushButton::keyReleaseEvent(QKeyEvent* event) {
    // Held keys repeat presses only; a repeated release is not a release.
    if (event->isAutoRepeat())
        return;
    const int shift = shiftCode(event->modifiers());
    const bool space = event->key() == Qt::Key_Space;
    if (space) {
        // Space clicks the focused button wherever the mouse pointer is: it
        // is a keyboard command, so the pointer must not veto it. Only a
        // Space that went down on this button counts.
        const bool wasPressed = m_isPressed;
        m_isPressed = false;
        m_isHover = false;
        refresh();
        mouseUpStep(1, shift, QPointF(0, 0), wasPressed);
    }
    emit keyUp(event->key(), shift);
    if (!space)
        event->ignore();
}

void PushButton::focusInEvent(QFocusEvent* event) {
    m_hasFocus = true;
    m_isHover = false;
    refresh();
    QWidget::focusInEvent(event);
}

void PushButton::focusOutEvent(QFocusEvent* event) {
    m_hasFocus = false;
    m_isPressed = false;
    m_isHover = false;
    refresh();
    QWidget::focusOutEvent(event);
}

void PushButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), systemColor(SysColor::BtnFace));
    const QRect all = rect().adjusted(0, 0, -1, -1);
    if (m_buttonStyle == 3)
        drawXpFace(p);
    else if (m_isPressed)
        drawEdge(p, all, true);
    else if (m_isHover || m_buttonStyle == 0)
        drawEdge(p, all, false);

    const Placement place = placement();
    const QPoint push = m_isPressed ? QPoint(1, 1) : QPoint(0, 0);
    if (!m_caption.isEmpty()) {
        const QRect r = place.caption.translated(push);
        if (isEnabled()) {
            p.setPen(systemColor(SysColor::BtnText));
            p.drawText(r, TextFlags, m_caption);
        } else {
            p.setPen(systemColor(SysColor::BtnHighlight));
            p.drawText(r.translated(1, 1), TextFlags, m_caption);
            p.setPen(systemColor(SysColor::BtnShadow));
            p.drawText(r, TextFlags, m_caption);
        }
    }
    if (!m_picture.isNull())
        drawPicture(p, place.picture.translated(push));

    if (m_hasFocus && m_showFocusRect && m_buttonStyle != 3) {
        QPen pen(systemColor(SysColor::BtnText));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(contentRect().adjusted(-1, -1, 0, 0));
    }
}

void PushButton::drawPicture(QPainter& p, const QRect& target) const {
    if (target.isEmpty())
        return;
    QPixmap pic;
    if (m_picture.hasAlphaChannel()) {
        pic = m_picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        // Fast scaling keeps the mask colour exact, so it drops out cleanly.
        pic = m_picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QColor mask = m_useMaskColor ? m_maskColor : QColor(m_picture.toImage().pixel(0, 0));
        pic.setMask(pic.createMaskFromColor(mask, Qt::MaskInColor));
    }
    if (!isEnabled())
        pic = QPixmap::fromImage(greyed(pic.toImage()));
    p.drawPixmap(target, pic);
}

void PushButton::drawXpFace(QPainter& p) const {
    const int w = width();
    const int h = height();
    const bool on = isEnabled();
    const QColor base = offsetColor(systemColor(SysColor::BtnFace), 48);
    if (on) {
        // One line per row: light at the top fading down, or the reverse,
        // shallower, while pressed.
        for (int y = 0; y < h; ++y) {
            const int amount = m_isPressed ? -25 * (h - 1 - y) / h : -50 * y / h;
            p.setPen(offsetColor(base, amount));
            p.drawLine(0, y, w - 1, y);
        }
    } else {
        p.fillRect(rect(), QColor(245, 244, 240));
    }

    // Outer border, its corners cut by single pixels.
    const QColor border = on ? QColor(0, 60, 116) : QColor(201, 199, 186);
    p.setPen(border);
    p.drawLine(2, 0, w - 3, 0);
    p.drawLine(2, h - 1, w - 3, h - 1);
    p.drawLine(0, 2, 0, h - 3);
    p.drawLine(w - 1, 2, w - 1, h - 3);
    p.drawPoint(1, 1);
    p.drawPoint(w - 2, 1);
    p.drawPoint(1, h - 2);
    p.drawPoint(w - 2, h - 2);
    if (!on)
        return;

    QColor rim;
    if (m_isPressed)
        rim = m_xpDefaultColors ? DefaultPressedColor : m_xpPressed;
    else if (m_isHover)
        rim = m_xpDefaultColors ? DefaultHoverColor : m_xpHover;
    else if (m_hasFocus)
        rim = m_xpDefaultColors ? DefaultPressedColor : m_xpPressed;
    if (!rim.isValid())
        return;
    const QColor light = offsetColor(rim, 30);
    p.setPen(light);
    p.drawLine(2, 1, w - 3, 1);
    p.drawLine(1, 2, 1, h - 3);
    p.setPen(rim);
    p.drawLine(2, 2, w - 3, 2);
    p.drawLine(2, h - 3, w - 3, h - 3);
    p.drawLine(2, 3, 2, h - 4);
    p.drawLine(w - 3, 3, w - 3, h - 4);
    p.setPen(offsetColor(rim, -30));
    p.drawLine(2, h - 2, w - 3, h - 2);
    p.drawLine(w - 2, 2, w - 2, h - 3);
}

} // namespace vigilux::controls
