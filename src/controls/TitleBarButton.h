#pragma once

#include <QPixmap>
#include <QWidget>

class QTimer;

namespace vigilux::controls {

// The main window's title-bar picture buttons (close, hide, maximize): one design with
// three picture sets. Each shows its normal, hover or pressed picture and
// raises `clicked` once per release over its face. Hover is
// polled every 50 ms without mouse capture.
class TitleBarButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TitleBarButton)

public:
    enum class Kind { Close, HideToTray, MaximizeRestore };
    enum class Look { Normal, Hover, Pressed };

    // HideToTray and MaximizeRestore never show hover while
    // disabled; Close does.
    explicit TitleBarButton(Kind kind, QWidget* parent = nullptr);
    ~TitleBarButton() override;

    Kind kind() const { return m_kind; }
    bool noHoverWhileDisabled() const { return m_noHoverWhileDisabled; }
    void setNoHoverWhileDisabled(bool on) { m_noHoverWhileDisabled = on; }

    // MaximizeRestore only: draw the "restore" glyph (window is maximised).
    bool restoreGlyph() const { return m_restoreGlyph; }
    void setRestoreGlyph(bool restore);

    bool isPressed() const { return m_pressed; }
    Look look() const { return m_look; }
    // Shows a picture without any input, for previews of the artwork.
    void showLook(Look look);

    QTimer* hoverTimer() const { return m_hoverTimer; }

    static QPixmap picture(Kind kind, Look look, bool restoreGlyph = false,
                           qreal devicePixelRatio = 1.0);

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void onHoverPoll();

    Kind m_kind;
    bool m_noHoverWhileDisabled;
    bool m_restoreGlyph = false;
    bool m_pressed = false;
    Look m_look = Look::Normal;
    QTimer* m_hoverTimer;
};

} // namespace vigilux::controls
