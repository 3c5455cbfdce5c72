#pragma once

#include <QHBoxLayout>
#include <QSpinBox>
#include <QString>
#include <QWidget>

#include <initializer_list>

namespace vigilux::ui {

// The building blocks the option pages share: a narrow number box (its range
// comes from the key it is bound to) and a row of widgets from the left with
// the rest of the row empty.
inline QSpinBox* optionSpinBox(const QString& name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setFixedWidth(64);
    return box;
}

inline QHBoxLayout* optionRow(std::initializer_list<QWidget*> widgets, int indent = 0) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(indent, 0, 0, 0);
    layout->setSpacing(6);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    layout->addStretch(1);
    return layout;
}

} // namespace vigilux::ui
