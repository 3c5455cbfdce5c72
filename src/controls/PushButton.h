#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace vigilux::controls {

// Owner-drawn push button used by every window: four styles (0 raised
// border; 1 and 2 flat with a border while hovered or pressed; 3 XP face), a
// caption with an access key ("&" marks it, "&&" is a literal ampersand) and
// an optional picture. Hover is tracked with mouse capture, so it reports
// mouseEntered and mouseLeft. Windows use buttons as arrays: the owner
// connects each button's clicked knowing its index.
//
// Mouse arguments carry the classic codes (see MouseCodes.h), X and Y in
// pixels; keyCode is the Qt key code (equal to the classic codes for Space,
// letters and digits).
class PushButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PushButton)

public:
    static constexpr int MinimumSide = 10;
    static const QColor DefaultPressedColor; // RGB(140, 170, 230)
    static const QColor DefaultHoverColor;   // RGB(225, 153, 71)

    explicit PushButton(QWidget* parent = nullptr);
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);
    ~PushButton() override;

    // Until set, the caption follows the object name, as a newly placed
    // button shows its own name.
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QChar accessKey() const { return m_accessKey; }

    int buttonStyle() const { return m_buttonStyle; }
    void setButtonStyle(int style);
    int picturePosition() const { return m_picturePosition; }
    void setPicturePosition(int position);

    // A picture with an alpha channel is drawn as an icon; one without is a
    // bitmap drawn with its mask colour transparent.
    QPixmap picture() const { return m_picture; }
    void setPicture(const QPixmap& picture);
    int pictureWidth() const { return m_pictureWidth; }
    void setPictureWidth(int width);
    int pictureHeight() const { return m_pictureHeight; }
    void setPictureHeight(int height);

    bool enabled() const { return isEnabled(); }
    bool enabledCtrl() const { return isEnabled(); }
    // Enables or disables and forgets focus, press and hover.
    void setEnabledCtrl(bool enabled);

    bool showFocusRect() const { return m_showFocusRect; }
    void setShowFocusRect(bool on);
    QColor pressedColor() const { return m_xpPressed; }
    void setPressedColor(const QColor& color);
    QColor hoverColor() const { return m_xpHover; }
    void setHoverColor(const QColor& color);
    bool defaultColors() const { return m_xpDefaultColors; }
    void setDefaultColors(bool on);
    QColor maskColor() const { return m_maskColor; }
    void setMaskColor(const QColor& color);
    bool useMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool on);

    QString tip() const { return toolTip(); }
    void setTip(const QString& text) { setToolTip(text); }

    QWidget* widget() { return this; }
    void refresh();

    bool hasFocus() const { return m_hasFocus; }
    bool isPressed() const { return m_isPressed; }
    bool isHover() const { return m_isHover; }
    // Shows a run-time state without input, for previews of the artwork; the
    // next input event takes over again.
    void forceState(bool hover, bool pressed, bool focus);

    // Where the picture and the caption go for the current size and content.
    QRect contentRect() const;
    QRect pictureRect() const;
    QRect captionRect() const;

    QSize sizeHint() const override;

signals:
    void clicked();
    void keyDown(int keyCode, int shift);
    void keyUp(int keyCode, int shift);
    void mouseDown(int button, int shift, float X, float Y);
    void mouseMove(int button, int shift, float X, float Y);
    void mouseUp(int button, int shift, float X, float Y);
    void mouseEntered(int shift);
    void mouseLeft(int shift);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Placement {
        QRect picture;
        QRect caption;
    };
    Placement placement() const;
    bool over(const QPointF& globalPos) const;
    void releaseCapture();
    void mouseUpStep(int button, int shift, QPointF localPos, bool clickAllowed);
    void dropTransientState();
    void drawXpFace(QPainter& p) const;
    void drawPicture(QPainter& p, const QRect& target) const;

    QString m_caption;
    bool m_captionSet = false;
    QChar m_accessKey;
    int m_shortcutId = 0;
    int m_buttonStyle = 2;
    int m_picturePosition = 1;
    QPixmap m_picture;
    int m_pictureWidth = 32;
    int m_pictureHeight = 32;
    bool m_showFocusRect = true;
    QColor m_xpPressed;
    QColor m_xpHover;
    bool m_xpDefaultColors = true;
    QColor m_maskColor = QColor(0, 0, 0);
    bool m_useMaskColor = false;

    bool m_hasFocus = false;
    bool m_isPressed = false;
    bool m_isHover = false;
};

} // namespace vigilux::controls
