#pragma once

#include "notify/SmsClient.h"

#include <QDialog>
#include <QString>
#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;

namespace vigilux {
struct AppContext;
}

namespace vigilux::video {
class CaptureCommands;
}
namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::controls {
class CheckBox;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

class FtpStatusIcon;

// The SMS notification window: the gateway key, the phone number and the
// alarm message with its length counter; a test message, and the balance
// and price queries through its own SmsClient. Nothing is stored: the
// fields start from their sample texts each time the window is made.
//
// The capture is paused while the window exists: from construction (and
// again if it is shown after being closed) until it is closed by any means
// or destroyed; the capture control must outlive the window. UI thread only.
class SmsSettingsWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmsSettingsWindow)

public:
    static QString sampleKey();
    static QString sampleNumber();
    static QString sampleMessage();
    static QString testMessage();
    static QString balanceCaption();
    static QString waitingCaption();
    // The gateway's page that shows the account's key.
    static QString keyPagePathAndQuery();

    SmsSettingsWindow(AppContext& context, video::CaptureCommands& capture,
                      platform::UrlOpener& opener, QWidget* parent = nullptr);
    ~SmsSettingsWindow() override;

    // The window's own component; tests point it at a local gateway.
    notify::SmsClient& sms() { return m_sms; }

    // The gateway's domain name as the messages and the key page show it.
    QString gatewayDomain() const { return m_sms.gatewayHost(); }
    QUrl keyPage() const;

    // The message as the counter measures it: line breaks as CR LF, the
    // form the text box has always held them in.
    QString messageText() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const QString& text, int x, int y, const char* name = nullptr);
    QLabel* addLink(const QString& text, int x, int y, const char* name);
    void pause(bool on);

    void onTestClicked();
    void onBalanceClicked();
    void onCostClicked();
    void onKeyHelpClicked();
    void onLengthHelpClicked();
    void updateCounter();
    void restoreBalanceButton();

    void onBalance(const QString& result);
    void onCost(const QString& result);
    void onSmsError(const QString& result);

    AppContext& m_context;
    video::CaptureCommands& m_capture;
    platform::UrlOpener& m_opener;
    bool m_paused = false;

    notify::SmsClient m_sms;
    QLineEdit* m_key = nullptr;
    QLineEdit* m_phone = nullptr;
    QPlainTextEdit* m_message = nullptr;
    std::array<QLabel*, 3> m_links{};
    QLabel* m_balanceLabel = nullptr;
    QLabel* m_limitLabel = nullptr;
    std::array<controls::PushButton*, 4> m_buttons{};
    controls::CheckBox* m_limitBox = nullptr;
    QScrollBar* m_scroll = nullptr;
    FtpStatusIcon* m_status = nullptr;
};

} // namespace vigilux::ui
