#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

class QLabel;

namespace vigilux::controls {

// A caption or value on a coloured panel (the main window's label(0..5)).
// panel() and textLabel() always fill the whole control.
// Colours are cached, so repeated calls with the same colour cost nothing.
class OverlayLabel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverlayLabel)

public:
    explicit OverlayLabel(QWidget* parent = nullptr);
    ~OverlayLabel() override;

    void setText(const QString& caption);
    void setTip(const QString& text);
    void setPanelColor(const QColor& panel);
    void setTextColor(const QColor& text);

    QString text() const;
    QWidget* panel() const { return m_panel; }
    QLabel* textLabel() const { return m_label; }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_panel;
    QLabel* m_label;
    // Empty until first set, so even the first colour (black included) takes.
    std::optional<QRgb> m_panelColor;
    std::optional<QRgb> m_textColor;
};

} // namespace vigilux::controls
