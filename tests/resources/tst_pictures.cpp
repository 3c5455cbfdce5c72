#include "resources/Pictures.h"

#include <QDirIterator>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>

using vigilux::resources::Pictures;

namespace {

// True when some pixel of the image is not fully transparent.
bool hasInk(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 0)
                return true;
    }
    return false;
}

QString nameOf(const QString& resource, const QString& suffix) {
    QString name = resource.mid(QStringLiteral(":/pictures/").size());
    name.chop(suffix.size());
    return name;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void everyResourceRendersAtItsSize() {
        const QStringList files = Pictures::resourceFiles();
        QVERIFY(files.size() > 40);
        for (const QString& file : files) {
            if (file.endsWith(QLatin1String(".png"))) {
                const QImage image = Pictures::bitmap(nameOf(file, QStringLiteral(".png")));
                QVERIFY2(!image.isNull() && hasInk(image), qPrintable(file));
                continue;
            }
            QSvgRenderer renderer(file);
            QVERIFY2(renderer.isValid(), qPrintable(file));
            const QSize size = renderer.defaultSize();
            QVERIFY2(!size.isEmpty(), qPrintable(file));
            if (file == Pictures::ProgramIconPath)
                continue;
            const QString name = nameOf(file, QStringLiteral(".svg"));
            QCOMPARE(Pictures::path(name), file);
            const QImage image = Pictures::image(name, size);
            QVERIFY2(!image.isNull() && hasInk(image), qPrintable(file));
            QCOMPARE(image.size(), size);
            // A high-density screen gets twice the pixels, same logical size.
            const QImage sharp = Pictures::image(name, size, 2.0);
            QCOMPARE(sharp.size(), size * 2);
            QCOMPARE(sharp.deviceIndependentSize().toSize(), size);
        }
    }

    void everyPictureFileIsCompiledIn() {
        // A file added to resources/ but not to the .qrc would be missing
        // only at run time.
        const QString root = QStringLiteral(VIGILUX_RESOURCES_DIR);
        QStringList onDisk;
        QDirIterator it(root, {QStringLiteral("*.svg"), QStringLiteral("*.png")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            onDisk << QStringLiteral(":") + it.next().mid(root.size());
        onDisk.sort();
        QCOMPARE(Pictures::resourceFiles(), onDisk);
    }

    void programIconServesEverySize() {
        const QIcon icon = Pictures::programIcon();
        QVERIFY(!icon.isNull());
        for (int side : {16, 32, 48, 256}) {
            const QPixmap pixmap = icon.pixmap(side, side);
            QCOMPARE(pixmap.size(), QSize(side, side));
            QVERIFY(hasInk(pixmap.toImage()));
        }
    }

    void unknownPictureIsEmptyNotFatal() {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("No picture .*nonexistent")));
        QVERIFY(Pictures::image(QStringLiteral("nonexistent"), QSize(16, 16)).isNull());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("No picture .*nonexistent")));
        QVERIFY(Pictures::bitmap(QStringLiteral("nonexistent")).isNull());
        QImage canvas(8, 8, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("No picture .*nonexistent")));
        QVERIFY(!Pictures::paint(p, QStringLiteral("nonexistent"), QRectF(0, 0, 8, 8)));
        QVERIFY(Pictures::paint(p, QStringLiteral("blink-dot"), QRectF(0, 0, 8, 8)));
        p.end();
        QVERIFY(hasInk(canvas));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
