#include "net/FTP.h"
#include "net/FTPStatus.h"

#include <QTest>

using vigilux::net::FTP;
using vigilux::net::FTPStatus;

class TestFtpStatus : public QObject {
    Q_OBJECT

private slots:
    void picturesAreDistinct() {
        const QImage blank = FTPStatus::picture(0);
        QList<QImage> seen{blank};
        for (int state = FTP::Queued; state <= FTP::Failed; ++state) {
            const QImage image = FTPStatus::picture(state);
            QCOMPARE(image.size(), QSize(16, 16));
            for (const QImage& other : seen)
                QVERIFY2(image != other, qPrintable(QString::number(state)));
            seen << image;
        }
    }

    void followsTheUploadState() {
        FTP ftp;
        FTPStatus status;
        QCOMPARE(status.size(), QSize(20, 20));
        status.resize(100, 100);
        QCOMPARE(status.size(), QSize(20, 20));
        status.follow(ftp);
        QCOMPARE(status.state(), 0);
        // Queued at once; the event loop never runs, so no job starts.
        ftp.Upload(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"),
                   QStringLiteral("/nonexistent"), QStringLiteral("r"));
        QCOMPARE(status.state(), int(FTP::Queued));
        QCOMPARE(status.grab().size(), QSize(20, 20));
    }
};

QTEST_MAIN(TestFtpStatus)
#include "tst_ftpstatus.moc"
