#pragma once

#include <QPixmap>
#include <QWidget>

class QTimer;

namespace vigilux::controls {

// Check box drawn entirely from twelve pictures (four looks by three values),
// without a caption: windows put a label beside it. Toggles on a left press,
// reports `clicked` on release. enabled() is QWidget's enabled state.
//
// Events carry the classic mouse codes (see MouseCodes.h); X and Y are pixels.
class CheckBox final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CheckBox)

public:
    enum class Look { Idle, Mouseover, Pushed, Disabled };

    explicit CheckBox(QWidget* parent = nullptr);
    ~CheckBox() override;

    // Ticked or not. A box may also be greyed (neither), which a press leaves
    // unchanged; set it through setCheckState(Qt::PartiallyChecked).
    bool value() const { return m_state == Qt::Checked; }
    void setValue(bool value);
    Qt::CheckState checkState() const { return m_state; }
    void setCheckState(Qt::CheckState state);
    bool enabled() const { return isEnabled(); }

    // The picture shown now, by look and by its name
    // ("IdleChecked", "PushedNoValue", "DisabledGrey", ...).
    Look look() const { return m_look; }
    QString pictureName() const { return pictureName(m_look, m_lookState); }
    static QString pictureName(Look look, Qt::CheckState state);
    static QPixmap picture(Look look, Qt::CheckState state, qreal devicePixelRatio = 1.0);

    // Shows a look without any input, for previews of the artwork.
    void showLook(Look look);

    // The 50 ms hover poll; stopped at start.
    QTimer* hoverTimer() const { return m_hoverTimer; }

    QSize sizeHint() const override;

signals:
    void mouseDown(int button, int shift, float X, float Y);
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void onHoverPoll();
    void showRestingLook();

    Qt::CheckState m_state = Qt::Unchecked;
    Look m_look = Look::Idle;
    // The value the shown picture is for: a press shows the pushed picture
    // of the value it had before the toggle.
    Qt::CheckState m_lookState = Qt::Unchecked;
    bool m_pressed = false;
    QTimer* m_hoverTimer;
};

} // namespace vigilux::controls
