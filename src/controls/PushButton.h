#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace vigilux::controls {

// Owner-drawn push button used by every window: four styles (0 raised
// border; 1 and 2 flat with a border while hovered or pressed; 3 XP face), a
// caption with an access key ("&" marks it, "&&" is a literal ampersand) and
// an optional picture. Hover is tracked with mouse capture, so it reports
// MouseIn and MouseOut. Windows use buttons as arrays: the owner connects
// each button's Click knowing its index.
//
// Mouse arguments carry the classic codes (see MouseCodes.h), X and Y in
// pixels; KeyCode is the Qt key code (equal to the classic codes for Space,
// letters and digits).
class PushButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PushButton)

public:
    static constexpr int MinimumSide = 10;
    static const QColor DefaultXPPressed; // RGB(140, 170, 230)
    static const QColor DefaultXPHover;   // RGB(225, 153, 71)

    explicit PushButton(QWidget* parent = nullptr);
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);
    ~PushButton() override;

    // Until set, the caption follows the object name, as a newly placed
    // button shows its own name.
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QChar accessKey() const { return m_accessKey; }

    int ButtonStyle() const { return m_buttonStyle; }
    void setButtonStyle(int style);
    int PicturePosition() const { return m_picturePosition; }
    void setPicturePosition(int position);

    // A picture with an alpha channel is drawn as an icon; one without is a
    // bitmap drawn with its mask colour transparent.
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap& picture);
    int PictureWidth() const { return m_pictureWidth; }
    void setPictureWidth(int width);
    int PictureHeight() const { return m_pictureHeight; }
    void setPictureHeight(int height);

    bool Enabled() const { return isEnabled(); }
    bool EnabledCtrl() const { return isEnabled(); }
    // Enables or disables and forgets focus, press and hover.
    void setEnabledCtrl(bool enabled);

    bool ShowFocusRect() const { return m_showFocusRect; }
    void setShowFocusRect(bool on);
    QColor XPColor_Pressed() const { return m_xpPressed; }
    void setXPColor_Pressed(const QColor& color);
    QColor XPColor_Hover() const { return m_xpHover; }
    void setXPColor_Hover(const QColor& color);
    bool XPDefaultColors() const { return m_xpDefaultColors; }
    void setXPDefaultColors(bool on);
    QColor MaskColor() const { return m_maskColor; }
    void setMaskColor(const QColor& color);
    bool UseMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool on);

    QString ToolTip() const { return toolTip(); }
    QString MyTip() const { return toolTip(); }
    void setMyTip(const QString& text) { setToolTip(text); }

    QWidget* mhwnd() { return this; }
    void Refresh();

    bool HasFocus() const { return m_hasFocus; }
    bool IsPressed() const { return m_isPressed; }
    bool IsHover() const { return m_isHover; }
    // Shows a run-time state without input, for previews of the artwork; the
    // next input event takes over again.
    void forceState(bool hover, bool pressed, bool focus);

    // Where the picture and the caption go for the current size and content.
    QRect contentRect() const;
    QRect pictureRect() const;
    QRect captionRect() const;

    QSize sizeHint() const override;

signals:
    void Click();
    void KeyDown(int KeyCode, int Shift);
    void KeyUp(int KeyCode, int Shift);
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    void MouseIn(int Shift);
    void MouseOut(int Shift);

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
