#pragma once

#include <QImage>
#include <QWidget>

namespace vigilux::ui {

// One of the three pieces of the main window's header: the band with the
// program's mark (0), its name (1), or the band behind the title-bar buttons
// (2). The borderless window is dragged by any of them.
class HeaderPiece final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HeaderPiece)
public:
    static constexpr int Height = 24;

    HeaderPiece(int index, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_index;
    QImage m_band; // the band, drawn at the piece's size
    QImage m_mark; // the program's mark (piece 0)
};

} // namespace vigilux::ui
