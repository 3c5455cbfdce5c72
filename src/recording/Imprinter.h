#pragma once

#include <QChar>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QString>

namespace vigilux::recording {

// Draws the date imprint into the top-left corner of a 24-bit picture:
// black at (2, 2), then white at (3, 1), in the application's font at a
// size that follows the picture's height. Each character is rendered once
// per size into a coverage mask and then only blended, so a picture costs
// a few microseconds instead of a text layout and two painter passes. Keeps
// its masks; one per thread (the saver's worker has its own).
class Imprinter final {
public:
    // `picture` must be Format_RGB888; other formats are left alone.
    void draw(QImage& picture, const QString& text);

    // The font size for a picture this high.
    static int pixelSize(int pictureHeight);

private:
    struct Glyph {
        QImage mask; // Format_Alpha8: coverage, the pen's origin at (m_pad, m_ascent)
        qreal advance = 0;
    };
    const Glyph& glyph(QChar c);
    void setSize(int pixelSize);
    void blend(QImage& picture, const Glyph& g, int x, int y, uchar value) const;

    QFont m_font;
    int m_size = 0;
    int m_ascent = 0;
    int m_height = 0;
    int m_pad = 0;
    QHash<QChar, Glyph> m_glyphs;
};

} // namespace vigilux::recording
