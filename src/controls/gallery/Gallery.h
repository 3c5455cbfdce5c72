#pragma once

#include <QWidget>

namespace vigilux::controls::gallery {

// Developer tool: every control of src/controls in every state, side by
// side, so the artwork can be judged at a glance. Not part of the program.
class Gallery final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Gallery)

public:
    explicit Gallery(QWidget* parent = nullptr);
    ~Gallery() override;
};

} // namespace vigilux::controls::gallery
