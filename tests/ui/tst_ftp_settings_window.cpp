// The FTP settings window: fields, OK/Отмена, and the connection test
// against a real FTP server on 127.0.0.1.
#include "WindowInput.h"
#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "ui/FtpSettingsWindow.h"
#include "ui/FtpStatusIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace vigilux;
using vigilux::ui::FtpSettingsWindow;
using Icon = vigilux::platform::Dialogs::Icon;

namespace {

using vigilux::test::click;
using vigilux::test::showAndWait;

const QString kUser = QStringLiteral("bob");
const QString kPassword = QStringLiteral("secret");
constexpr int kResultWaitMs = 20000;

class NoSensor final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue, qint32) override {}
};

struct Program {
    Program()
        : context(clock, dialogs, dir.path())
        , options(context, sensor) {
        core::Settings& s = context.settings;
        s.ftpUpload = true;
        s.ftpServer = QStringLiteral("127.0.0.1");
        s.ftpFolder = QStringLiteral("cam");
        s.ftpLogin = kUser;
        s.ftpPassword = kPassword;
    }
    QString stored(const char* key) {
        return context.ini.read(QString::fromLatin1(key), QStringLiteral("FTP"));
    }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    NoSensor sensor;
    AppContext context;
    core::SettingsStorage options;
};

bool allButtonsEnabled(const FtpSettingsWindow& w) {
    return w.button(0)->isEnabled() && w.button(1)->isEnabled() && w.button(2)->isEnabled();
}
bool anyButtonEnabled(const FtpSettingsWindow& w) {
    return w.button(0)->isEnabled() || w.button(1)->isEnabled() || w.button(2)->isEnabled();
}

// Restores TEMP as it was when the test began.
struct TempVariable {
    TempVariable()
        : m_had(qEnvironmentVariableIsSet("TEMP"))
        , m_old(qgetenv("TEMP")) {}
    ~TempVariable() {
        if (m_had)
            qputenv("TEMP", m_old);
        else
            qunsetenv("TEMP");
    }
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestFtpSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_temp.isValid() && m_served.isValid());
        qputenv("TEMP", QFile::encodeName(m_temp.path()));
        QVERIFY(QDir(m_served.path()).mkdir(QStringLiteral("cam")));
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(VIGILUX_FTP_SERVER_SCRIPT), QStringLiteral("0"),
                        m_served.path(), kUser, kPassword});
        QVERIFY2(m_server.waitForStarted(10000), "python3 with pyftpdlib is needed");
        QByteArray line;
        while (!line.endsWith('\n') && m_server.waitForReadyRead(15000))
            line += m_server.readLine();
        QVERIFY2(line.startsWith("port "), line.constData());
        m_port = static_cast<quint16>(line.mid(5).trimmed().toUInt());
        QVERIFY(m_port != 0);
    }

    void cleanupTestCase() {
        m_server.closeWriteChannel();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    void checkBoxGatesTheFieldsAndCancelKeepsTheRecord_data() {
        QTest::addColumn<bool>("uploadOn");
        QTest::newRow("opened on") << true;
        QTest::newRow("opened off") << false;
    }
    void checkBoxGatesTheFieldsAndCancelKeepsTheRecord() {
        QFETCH(bool, uploadOn);
        Program p;
        p.context.settings.ftpUpload = uploadOn;
        const core::Settings before = p.context.settings;
        FtpSettingsWindow w(p.context, [&p] { p.options.saveFtp(); });
        QCOMPARE(w.windowTitle(), QStringLiteral("Загрузка изображений на FTP"));
        QVERIFY(showAndWait(w));
        QCOMPARE(w.uploadBox()->value(), uploadOn);
        const QStringList texts{w.field(0)->text(), w.field(1)->text(), w.field(2)->text(),
                                w.field(3)->text()};
        QCOMPARE(texts, (QStringList{"127.0.0.1", "cam", kUser, kPassword}));
        QCOMPARE(w.field(3)->echoMode(), QLineEdit::Password);

        for (bool on : {uploadOn, !uploadOn, uploadOn}) {
            for (int i = 0; i < 4; ++i)
                QCOMPARE(w.field(i)->isEnabled(), on);
            QCOMPARE(w.button(2)->isEnabled(), on);
            QCOMPARE(w.ftpStatus()->isVisible(), on);
            QVERIFY(w.button(0)->isEnabled() && w.button(1)->isEnabled());
            QTest::mouseClick(w.uploadBox(), Qt::LeftButton, {}, QPoint(4, 4));
        }
        QCOMPARE(w.uploadBox()->value(), !uploadOn);
        w.field(0)->setText(QStringLiteral("elsewhere"));

        click(w.button(1));
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(p.context.settings == before);
        QVERIFY(!QFile::exists(p.context.ini.fileName()));
    }

    void okStoresTheFields() {
        Program p;
        FtpSettingsWindow w(p.context, [&p] { p.options.saveFtp(); });
        QVERIFY(showAndWait(w));
        w.field(0)->setText(QStringLiteral("ftp.example.org"));
        w.field(1)->setText(QStringLiteral("photos"));
        w.field(2)->setText(QStringLiteral("alice"));
        w.field(3)->setText(QStringLiteral("пароль 1"));
        QTest::mouseClick(w.uploadBox(), Qt::LeftButton, {}, QPoint(4, 4));
        click(w.button(0));
        QCOMPARE(w.result(), int(QDialog::Accepted));

        const core::Settings& s = p.context.settings;
        QCOMPARE(s.ftpUpload, false);
        QCOMPARE((QStringList{s.ftpServer, s.ftpFolder, s.ftpLogin, s.ftpPassword}),
                 (QStringList{"ftp.example.org", "photos", "alice", "пароль 1"}));
        QCOMPARE(p.stored("FtpUpload"), QStringLiteral("False"));
        QCOMPARE(p.stored("FtpServer"), QStringLiteral("ftp.example.org"));
        QCOMPARE(p.stored("FtpFolder"), QStringLiteral("photos"));
        QCOMPARE(p.stored("FtpLogin"), QStringLiteral("alice"));
        QCOMPARE(core::SettingsStorage::unscramblePassword(p.stored("FtpPass")),
                 QStringLiteral("пароль 1"));
    }

    void testIconGoesToTemp_data() {
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("folder");
        QTest::newRow("TEMP set") << QStringLiteral("/some/where") << QStringLiteral("/some/where");
        QTest::newRow("TEMP empty") << QString() << QDir::tempPath();
        QTest::newRow("TEMP unset") << QStringLiteral("<unset>") << QDir::tempPath();
    }
    void testIconGoesToTemp() {
        QFETCH(QString, temp);
        QFETCH(QString, folder);
        TempVariable keep;
        if (temp == QStringLiteral("<unset>"))
            qunsetenv("TEMP");
        else
            qputenv("TEMP", QFile::encodeName(temp));
        QCOMPARE(FtpSettingsWindow::testIconPath(), folder + QStringLiteral("/test.ico"));
    }

    void connectionTestUploadsTheIcon_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<QString>("landed");
        QTest::newRow("cam") << QStringLiteral("cam") << QStringLiteral("cam/")
                             << QStringLiteral("cam/test.ico");
        QTest::newRow("cam/") << QStringLiteral("cam/") << QStringLiteral("cam/")
                              << QStringLiteral("cam/test.ico");
        QTest::newRow("empty") << QString() << QStringLiteral("/") << QStringLiteral("test.ico");
    }
    void connectionTestUploadsTheIcon() {
        QFETCH(QString, folder);
        QFETCH(QString, corrected);
        QFETCH(QString, landed);
        const QString remote = QDir(m_served.path()).filePath(landed);
        QFile::remove(remote);
        Program p;
        p.context.settings.ftpFolder = folder;
        FtpSettingsWindow w(p.context, [&p] { p.options.saveFtp(); });
        prepare(w);
        QVERIFY(showAndWait(w));

        click(w.button(2));
        QCOMPARE(w.button(2)->caption(), QStringLiteral("Подождите, идет проверка..."));
        QVERIFY(!anyButtonEnabled(w));
        QCOMPARE(w.field(1)->text(), corrected);
        QVERIFY(w.ftp().isBusy());

        QTRY_COMPARE_WITH_TIMEOUT(p.dialogs.messages.size(), 1, kResultWaitMs);
        const auto& m = p.dialogs.messages[0];
        QCOMPARE(m.icon, Icon::Information);
        QCOMPARE(m.title, QStringLiteral("Тест ОК"));
        QCOMPARE(m.text, QStringLiteral("Тест соединения прошел успешно."));
        QCOMPARE(w.button(2)->caption(), QStringLiteral("Проверить соединение"));
        QVERIFY(allButtonsEnabled(w));

        const QImage icon(remote, "ICO");
        QCOMPARE(icon.size(), QSize(16, 16));
        // The corrected folder is what OK stores.
        click(w.button(0));
        QCOMPARE(p.context.settings.ftpFolder, corrected);
    }

    void failedTestShowsTheReason() {
        Program p;
        p.context.settings.ftpPassword = QStringLiteral("wrong");
        FtpSettingsWindow w(p.context, [&p] { p.options.saveFtp(); });
        prepare(w);
        QVERIFY(showAndWait(w));
        click(w.button(2));
        QTRY_COMPARE_WITH_TIMEOUT(p.dialogs.messages.size(), 1, kResultWaitMs);
        const auto& m = p.dialogs.messages[0];
        QCOMPARE(m.icon, Icon::Error);
        QCOMPARE(m.title, QStringLiteral("Ошибка FTP"));
        QVERIFY2(m.text.startsWith(QStringLiteral("Ошибка загрузки на FTP.\r\nОтвет сервера: 530")),
                 qPrintable(m.text));
        QVERIFY(allButtonsEnabled(w));
        QCOMPARE(w.button(2)->caption(), QStringLiteral("Проверить соединение"));
        QVERIFY(!p.context.settings.ftpPassword.isEmpty() &&
                !QFile::exists(p.context.ini.fileName()));
    }

    void unwritableTempIsReportedAndTheWindowStaysUsable() {
        TempVariable keep;
        qputenv("TEMP", QFile::encodeName(m_temp.filePath(QStringLiteral("missing/deeper"))));
        Program p;
        FtpSettingsWindow w(p.context, [&p] { p.options.saveFtp(); });
        prepare(w);
        QVERIFY(showAndWait(w));
        click(w.button(2));
        QCOMPARE(p.dialogs.messages.size(), 1);
        QCOMPARE(p.dialogs.messages[0].icon, Icon::Error);
        QCOMPARE(p.dialogs.messages[0].title, QStringLiteral("Ошибка"));
        QVERIFY(!w.ftp().isBusy());
        QVERIFY(allButtonsEnabled(w));
        QCOMPARE(w.button(2)->caption(), QStringLiteral("Проверить соединение"));
        QCOMPARE(w.field(1)->text(), QStringLiteral("cam")); // no test, no correction
    }

private:
    void prepare(FtpSettingsWindow& w) {
        w.ftp().setControlPort(m_port);
        w.ftp().setStartDelayMs(0);
        w.ftp().setBounds({5000, 10000, 10000, 10000});
    }

    QTemporaryDir m_temp;
    QTemporaryDir m_served;
    QProcess m_server;
    quint16 m_port = 0;
};

QTEST_MAIN(TestFtpSettingsWindow)
#include "tst_ftp_settings_window.moc"
