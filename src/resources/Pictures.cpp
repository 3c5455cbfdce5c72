#include "resources/Pictures.h"

#include <QDirIterator>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <mutex>

// The resources live in a static library: the linker keeps them only when
// something refers to their initialiser, which must be called from the
// global namespace.
static void initPictureResources() {
    Q_INIT_RESOURCE(vigilux);
}

namespace vigilux::resources {

namespace {

void ensureResources() {
    static std::once_flag once;
    std::call_once(once, initPictureResources);
}

QImage render(const QString& file, const QSize& size, qreal devicePixelRatio) {
    ensureResources();
    QSvgRenderer renderer(file);
    if (!renderer.isValid() || size.isEmpty()) {
        qWarning("No picture %s at %dx%d", qPrintable(file), size.width(), size.height());
        return {};
    }
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon iconOf(const QString& file) {
    // Drawn in advance rather than through the SVG icon plugin, which a
    // machine may lack.
    static constexpr std::array<int, 8> Sides{16, 22, 24, 32, 48, 64, 128, 256};
    QIcon icon;
    for (int side : Sides) {
        const QImage image = render(file, QSize(side, side), 1.0);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace

const QString Pictures::ProgramIconPath = QStringLiteral(":/vigilux.svg");

QString Pictures::path(const QString& name) {
    return QStringLiteral(":/pictures/") + name + QStringLiteral(".svg");
}

QImage Pictures::image(const QString& name, const QSize& size, qreal devicePixelRatio) {
    return render(path(name), size, devicePixelRatio);
}

QImage Pictures::bitmap(const QString& name) {
    ensureResources();
    const QString file = QStringLiteral(":/pictures/") + name + QStringLiteral(".png");
    QImage image(file);
    if (image.isNull())
        qWarning("No picture %s", qPrintable(file));
    return image;
}

bool Pictures::paint(QPainter& painter, const QString& name, const QRectF& target) {
    ensureResources();
    QSvgRenderer renderer(path(name));
    if (!renderer.isValid()) {
        qWarning("No picture %s", qPrintable(path(name)));
        return false;
    }
    renderer.render(&painter, target);
    return true;
}

QIcon Pictures::programIcon() {
    return iconOf(ProgramIconPath);
}

QIcon Pictures::icon(const QString& name) {
    return iconOf(path(name));
}

QStringList Pictures::resourceFiles() {
    ensureResources();
    QStringList files{ProgramIconPath};
    QDirIterator it(QStringLiteral(":/pictures"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace vigilux::resources
