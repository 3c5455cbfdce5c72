#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

class QPainter;
class QRectF;
class QSize;

namespace vigilux::resources {

// The pictures compiled into the program (resources/vigilux.qrc), drawn at
// the size a caller needs. A name is a path under ":/pictures" without the
// ".svg", such as "saved" or "checkbox/IdleChecked".
class Pictures final {
public:
    Pictures() = delete;

    // The resource path of a picture name.
    static QString path(const QString& name);

    // The picture drawn into a transparent image of `size` logical pixels
    // (times `devicePixelRatio` physical ones); a null image, with a
    // warning, if there is no such picture.
    static QImage image(const QString& name, const QSize& size, qreal devicePixelRatio = 1.0);

    // A bitmap picture (":/pictures/<name>.png") as it is stored.
    static QImage bitmap(const QString& name);

    // Draws the picture into `target` of an open painter; false if there is
    // no such picture.
    static bool paint(QPainter& painter, const QString& name, const QRectF& target);

    // The program's icon, for the window and the tray.
    static QIcon programIcon();
    // An icon of a picture drawn for the usual icon sizes.
    static QIcon icon(const QString& name);

    // Every picture file among the resources, program icon included.
    static QStringList resourceFiles();

    static const QString ProgramIconPath;
};

} // namespace vigilux::resources
