#include "FakeDialogs.h"
#include "video/PictureConversion.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vigilux::video::PictureConversion;

class TestPictureConversion : public QObject {
    Q_OBJECT
private slots:
    void bmpFileRoundTrip() {
        QTemporaryDir dir;
        vigilux::test::FakeDialogs dialogs;
        QImage image(8, 6, QImage::Format_RGB888);
        image.fill(QColor(10, 200, 30));
        const QString path = dir.filePath(QStringLiteral("f.bmp"));
        QVERIFY(image.save(path, "BMP"));
        const QImage back = PictureConversion::pictureFromBytes(
            PictureConversion::readFileBytes(path, dialogs), dialogs);
        QCOMPARE(back.size(), QSize(8, 6));
        QCOMPARE(back.pixelColor(3, 3), QColor(10, 200, 30));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void failuresAreToldAndGiveNothing() {
        QTemporaryDir dir;
        vigilux::test::FakeDialogs dialogs;
        QVERIFY(PictureConversion::readFileBytes(dir.filePath(QStringLiteral("none")), dialogs)
                    .isEmpty());
        QVERIFY(PictureConversion::readFileBytes(dir.path(), dialogs).isEmpty()); // a folder
        QVERIFY(dialogs.messages.isEmpty());

        QVERIFY(PictureConversion::pictureFromBytes(QByteArray(), dialogs).isNull());
        QCOMPARE(dialogs.messages.last().text,
                 QStringLiteral("You must pass a non-empty byte array to this function!"));
        QVERIFY(PictureConversion::pictureFromBytes(QByteArray("not a picture"), dialogs).isNull());
        QVERIFY(dialogs.messages.last().text.contains(QStringLiteral(" - ")));
        QCOMPARE(dialogs.messages.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestPictureConversion)
#include "tst_picture_conversion.moc"
