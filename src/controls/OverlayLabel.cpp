#include "controls/OverlayLabel.h"

#include <QLabel>

namespace vigilux::controls {

OverlayLabel::OverlayLabel(QWidget* parent)
    : QWidget(parent)
    , m_cont(new QWidget(this))
    , m_label(new QLabel(m_cont)) {
    m_cont->setObjectName(QStringLiteral("Cont"));
    m_label->setObjectName(QStringLiteral("Label"));
    m_cont->setAutoFillBackground(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setContentsMargins(3, 0, 3, 0);
}

OverlayLabel::~OverlayLabel() = default;

void OverlayLabel::Text(const QString& caption) {
    m_label->setText(caption);
}

QString OverlayLabel::text() const {
    return m_label->text();
}

void OverlayLabel::Tip(const QString& text) {
    m_label->setToolTip(text);
}

void OverlayLabel::Fcolor(const QColor& panel) {
    if (m_panelColor == panel.rgb())
        return;
    m_panelColor = panel.rgb();
    QPalette pal = m_cont->palette();
    pal.setColor(QPalette::Window, panel);
    m_cont->setPalette(pal);
}

void OverlayLabel::Tcolor(const QColor& text) {
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
    m_cont->setGeometry(rect());
    m_label->setGeometry(m_cont->rect());
}

} // namespace vigilux::controls
