#include "ui/FtpStatusIcon.h"
#include "upload/FtpClient.h"

#include <QTest>

using vigilux::ui::FtpStatusIcon;
using vigilux::upload::FtpClient;

class TestFtpStatusIcon : public QObject {
    Q_OBJECT

private slots:
    void picturesAreDistinct() {
        using State = vigilux::core::TransferState;
        const QImage blank = FtpStatusIcon::picture(State::None);
        QList<QImage> seen{blank};
        for (State state : {State::Queued, State::Working, State::Done, State::Failed}) {
            const QImage image = FtpStatusIcon::picture(state);
            QCOMPARE(image.size(), QSize(16, 16));
            for (const QImage& other : seen)
                QVERIFY2(image != other, qPrintable(QString::number(int(state))));
            seen << image;
        }
    }

    void followsTheUploadState() {
        FtpClient ftp;
        FtpStatusIcon status;
        QCOMPARE(status.size(), QSize(20, 20));
        status.resize(100, 100);
        QCOMPARE(status.size(), QSize(20, 20));
        status.follow(ftp);
        QCOMPARE(status.state(), FtpClient::State::None);
        // Queued at once; the event loop never runs, so no job starts.
        ftp.upload(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"),
                   QStringLiteral("/nonexistent"), QStringLiteral("r"));
        QCOMPARE(status.state(), FtpClient::State::Queued);
        QCOMPARE(status.grab().size(), QSize(20, 20));
    }
};

QTEST_MAIN(TestFtpStatusIcon)
#include "tst_ftp_status_icon.moc"
