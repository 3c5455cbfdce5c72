#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

class QLabel;

namespace vigilux::controls {

// A caption or value on a coloured panel (the main window's OverlayLabel(0..5)).
// The panel `Cont` and the text `Label` always fill the whole control.
// Colours are cached, so repeated calls with the same colour cost nothing.
class OverlayLabel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverlayLabel)

public:
    explicit OverlayLabel(QWidget* parent = nullptr);
    ~OverlayLabel() override;

    void Text(const QString& caption);
    void Tip(const QString& text);
    void Fcolor(const QColor& panel);
    void Tcolor(const QColor& text);

    QString text() const;
    QWidget* Cont() const { return m_cont; }
    QLabel* Label() const { return m_label; }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_cont;
    QLabel* m_label;
    // Empty until first set, so even the first colour (black included) takes.
    std::optional<QRgb> m_panelColor;
    std::optional<QRgb> m_textColor;
};

} // namespace vigilux::controls
