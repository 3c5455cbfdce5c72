#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/NotifyOptions.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/ScriptedHttpServer.h"
#include "support/SmtpServerProcess.h"
#include "ui/NotifySettingsPage.h"
#include "ui/ProgramOptionsWindow.h"

#include "FakeCaptureCommands.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using vigilux::controls::CheckBox;
using vigilux::controls::PushButton;
using vigilux::notify::NotifyChannel;
using vigilux::ui::NotifySettingsPage;
using Icon = vigilux::platform::Dialogs::Icon;

namespace {

class NoTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue, qint32) override {}
};

const QString Token = QStringLiteral("777:secretToken");

// A program with its settings file in a temporary folder and the
// notification settings of a Telegram bot.
struct Program {
    Program()
        : context(clock, dialogs, dir.path())
        , storage(context, target)
        , options(context.ini, context.settings.notify, nullptr) {
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        core::NotifySettings& n = context.settings.notify;
        n.telegramOn = true;
        n.telegramToken = Token;
        n.telegramChat = QStringLiteral("42");
        n.mailClipMaxMb = 500; // more than the page's box once held
        storage.save();
        options.save();
    }
    ~Program() { delete window.data(); }

    NotifySettingsPage* page() {
        return new NotifySettingsPage(context, options, [this](NotifyChannel channel) {
            return channel == NotifyChannel::Mail ? mailError : QString();
        });
    }
    QByteArray file() const {
        QFile f(context.ini.fileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    NoTarget target;
    AppContext context;
    core::SettingsStorage storage;
    core::NotifyOptions options;
    test::FakeCaptureCommands capture;
    QPointer<ui::ProgramOptionsWindow> window;
    QString mailError;
};

QLineEdit* field(QWidget* page, const QString& key) {
    auto* edit = page->findChild<QLineEdit*>(key);
    if (!edit)
        qFatal("no field %s", qPrintable(key));
    return edit;
}

} // namespace

class TestNotifySettingsPage : public QObject {
    Q_OBJECT

private slots:
    // The page is a tab of the options window: Cancel leaves the settings
    // alone, OK copies them and writes [Notify] without the token in clear.
    void tabOfOptionsWindow() {
        Program p;
        for (bool ok : {false, true}) {
            p.window = new ui::ProgramOptionsWindow(p.context, p.storage, p.capture, {});
            NotifySettingsPage* page = p.page();
            const int before = p.window->pageCount();
            p.window->addPage(page);
            p.window->show();
            QCOMPARE(p.window->pageCount(), before + 1);
            auto* tab = p.window->findChild<PushButton*>(QStringLiteral("Tabs_%1").arg(before));
            QVERIFY(tab);
            QCOMPARE(tab->caption(), QStringLiteral("Уведомления"));
            QVERIFY(!page->isVisible());
            QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(4, 4));
            QVERIFY(page->isVisible());
            QVERIFY(!p.window->findChild<QWidget*>(QStringLiteral("Cont_0"))->isVisible());

            QCOMPARE(field(page, QStringLiteral("TelegramToken"))->text(), Token);
            QCOMPARE(field(page, QStringLiteral("TelegramToken"))->echoMode(), QLineEdit::Password);
            field(page, QStringLiteral("TelegramChat"))->setText(QStringLiteral(" 43 "));
            field(page, QStringLiteral("SmtpServer"))->setText(QStringLiteral("mail.home.test"));
            QTest::mouseClick(p.window->findChild<PushButton*>(ok ? QStringLiteral("okButton")
                                                                  : QStringLiteral("cancelButton")),
                              Qt::LeftButton, {}, QPoint(4, 4));
            QTRY_VERIFY(!p.window->isVisible());
            delete p.window.data();
            if (!ok) {
                QCOMPARE(p.context.settings.notify.telegramChat, QStringLiteral("42"));
                QVERIFY(p.context.settings.notify.smtpServer.isEmpty());
            }
        }
        QCOMPARE(p.context.settings.notify.telegramChat, QStringLiteral("43"));
        QTRY_VERIFY(p.file().contains("SmtpServer=mail.home.test"));
        QVERIFY(p.file().contains("TelegramChat=43"));
        QVERIFY(p.file().contains("MailClipMaxMb=500"));
        QVERIFY(!p.file().contains(Token.toUtf8()));
        QVERIFY(!p.file().contains("secretToken"));
    }

    // "Проверить" sends what is typed, unsaved, and says how it went in a
    // box; the last delivery error of each channel is shown.
    void testButtons() {
        Program p;
        p.mailError = QStringLiteral("08.12.2026 10:00:00 E-mail: нет связи");
        std::unique_ptr<NotifySettingsPage> page(p.page());
        page->show();
        const QList<QLabel*> labels = page->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
            return l->text() == QStringLiteral("последняя ошибка: ") + p.mailError;
        }));

        test::SmtpServerProcess smtp;
        QVERIFY2(smtp.start(), qPrintable(smtp.error()));
        field(page.get(), QStringLiteral("SmtpServer"))->setText(QStringLiteral("127.0.0.1"));
        page->findChild<QSpinBox*>(QStringLiteral("SmtpPort"))->setValue(smtp.port());
        page->findChild<QComboBox*>(QStringLiteral("SmtpSecurity"))->setCurrentIndex(0);
        field(page.get(), QStringLiteral("MailFrom"))->setText(QStringLiteral("cam@home.test"));
        field(page.get(), QStringLiteral("MailTo"))
            ->setText(QStringLiteral("me@home.test; you@home.test"));
        PushButton& mail = page->testButton(NotifyChannel::Mail);
        QTest::mouseClick(&mail, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(mail.caption(), NotifySettingsPage::WaitCaption);
        QTRY_COMPARE_WITH_TIMEOUT(p.dialogs.messages.size(), 1, 60000);
        QCOMPARE(p.dialogs.messages[0].icon, Icon::Information);
        QCOMPARE(p.dialogs.messages[0].text,
                 QStringLiteral("Проверочное сообщение отправлено (E-mail)."));
        QCOMPARE(mail.caption(), NotifySettingsPage::TestCaption);
        QCOMPARE(smtp.messages().size(), 1);
        QCOMPARE(smtp.messages()[0].value(QStringLiteral("subject")).toString(),
                 QStringLiteral("Проверка уведомлений"));
        QCOMPARE(smtp.messages()[0].value(QStringLiteral("to")).toArray().size(), 2);
        // Nothing typed was saved by the test.
        QVERIFY(p.context.settings.notify.smtpServer.isEmpty());

        // The Bot API refuses the token: an error box without the token.
        test::ScriptedHttpServer api;
        QVERIFY(api.listen());
        const QByteArray refusal = R"({"ok":false,"error_code":401,"description":"Unauthorized"})";
        api.replies.enqueue(
            {"HTTP/1.1 401 Unauthorized\r\nContent-Length: " + QByteArray::number(refusal.size()) +
                 "\r\nConnection: close\r\n\r\n" + refusal,
             true});
        field(page.get(), QStringLiteral("TelegramApi"))
            ->setText(QStringLiteral("http://127.0.0.1:%1").arg(api.port()));
        QTest::mouseClick(&page->testButton(NotifyChannel::Telegram), Qt::LeftButton, {},
                          QPoint(4, 4));
        QTRY_COMPARE_WITH_TIMEOUT(p.dialogs.messages.size(), 2, 60000);
        QCOMPARE(p.dialogs.messages[1].icon, Icon::Error);
        QCOMPARE(p.dialogs.messages[1].title, QStringLiteral("Ошибка Telegram"));
        QVERIFY(p.dialogs.messages[1].text.contains(QStringLiteral("401")));
        QVERIFY(!p.dialogs.messages[1].text.contains(QStringLiteral("secretToken")));
        QCOMPARE(api.connections(), 1);
        QVERIFY(api.requests[0].contains(QByteArray("/bot" + Token.toUtf8() + "/sendMessage")));
    }
};

QTEST_MAIN(TestNotifySettingsPage)
#include "tst_notify_settings_page.moc"
