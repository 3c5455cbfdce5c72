#include "controls/OverlayLabel.h"

#include <QLabel>

namespace vigilux::controls {

OverlayLabel::OverlayLabel(QWidget* parent)
    : QWidget(parent)
    , m_panel(new QWidget(this))
    , m_label(new QLabel(m_panel)) {
    m_panel->setObjectName(QStringLiteral("panel"));
    m_label->setObjectName(QStringLiteral("text"));
    m_panel->setAutoFillBackground(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setContentsMargins(3, 0, 3, 0);
}

OverlayLabel::~OverlayLabel() = default;

void OverlayLabel::setText(const QString& caption) {
    m_label->setText(caption);
}

QString OverlayLabel::text() const {
    return m_label->text();
}

void OverlayLabel::setTip(const QString& text) {
    m_label->setToolTip(text);
}

void OverlayLabel::setPanelColor(const QColor& panel) {
    if (m_panelColor == panel.rgb())
        return;
    m_panelColor = panel.rgb();
    QPalette pal = m_panel->palette();
    pal.setColor(QPalette::Window, panel);
    m_panel->setPalette(pal);
}

void OverlayLabel::setTextColor(const QColor& text) {
    if (m_textColor == text.rgb())
        return;
    m_textColor = text.rgb();
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, text);
    m_label->setPalette(pal);
}

QSize OverlayLabel::sizeHint() const {
    return m_label->sizeHint() + QSize(8, 6);
}

void OverlayLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_panel->setGeometry(rect());
    m_label->setGeometry(m_panel->rect());
}

} // namespace vigilux::controls
