#include "controls/Plabel.h"

#include <QLabel>

namespace vigilux::controls {

Plabel::Plabel(QWidget* parent)
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

Plabel::~Plabel() = default;

void Plabel::Text(const QString& caption) {
    m_label->setText(caption);
}

QString Plabel::text() const {
    return m_label->text();
}

void Plabel::Tip(const QString& text) {
    m_label->setToolTip(text);
}

void Plabel::Fcolor(const QColor& panel) {
    if (m_panelColor == panel.rgb())
        return;
    m_panelColor = panel.rgb();
    QPalette pal = m_cont->palette();
    pal.setColor(QPalette::Window, panel);
    m_cont->setPalette(pal);
}

void Plabel::Tcolor(const QColor& text) {
    if (m_textColor == text.rgb())
        return;
    m_textColor = text.rgb();
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, text);
    m_label->setPalette(pal);
}

QSize Plabel::sizeHint() const {
    return m_label->sizeHint() + QSize(8, 6);
}

void Plabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_cont->setGeometry(rect());
    m_label->setGeometry(m_cont->rect());
}

} // namespace vigilux::controls
