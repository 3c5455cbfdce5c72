#pragma once

#include "notify/NotifyQueue.h"
#include "notify/NotifyTestSender.h"
#include "ui/OptionsPage.h"

#include <QString>

#include <array>
#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vigilux {
struct AppContext;
}
namespace vigilux::core {
class NotifyOptions;
}
namespace vigilux::controls {
class CheckBox;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

using notify::NotifyChannel;
using notify::NotifyQueue;
using notify::NotifyResult;
using notify::NotifyTestSender;

// "Уведомления": where the messages about motion events go (a Telegram bot,
// an e-mail account), with a "Проверить" button per channel that sends a
// test message with what is typed and tells the result in a message box,
// and the last delivery error of each channel.
class NotifySettingsPage final : public ui::OptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotifySettingsPage)

public:
    static const QString TestCaption;
    static const QString WaitCaption;

    // `options` writes the [Notify] section; `lastError` gives a channel's
    // last delivery error ("" before one). Both must outlive the page.
    NotifySettingsPage(AppContext& context, core::NotifyOptions& options,
                       std::function<QString(NotifyChannel)> lastError, QWidget* parent = nullptr);
    ~NotifySettingsPage() override;

    QString caption() const override;
    void fillControls() override;
    void copyControls() override;
    void save() override;

    // The settings as typed, over the record's.
    core::NotifySettings typed() const;
    NotifyTestSender& tester() { return m_tester; }
    controls::PushButton& testButton(NotifyChannel channel) const {
        return *m_test[static_cast<std::size_t>(channel)];
    }

private:
    // The edit is named after its key in [Notify].
    QLineEdit* addLine(QGridLayout* grid, int row, const QString& caption, const QString& name,
                       bool secret = false);
    void showLastErrors();
    void onTestClicked(NotifyChannel channel);
    void onTestFinished(NotifyChannel channel, const NotifyResult& result);
    void followChecks();

    AppContext& m_context;
    core::NotifyOptions& m_options;
    std::function<QString(NotifyChannel)> m_lastError;
    NotifyTestSender m_tester;

    controls::CheckBox* m_telegramOn = nullptr;
    QLineEdit* m_api = nullptr;
    QLineEdit* m_token = nullptr;
    QLineEdit* m_chat = nullptr;
    controls::CheckBox* m_clips = nullptr;

    controls::CheckBox* m_mailOn = nullptr;
    QLineEdit* m_server = nullptr;
    QSpinBox* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLineEdit* m_login = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_caFile = nullptr;
    controls::CheckBox* m_mailClip = nullptr;
    QSpinBox* m_mailClipMb = nullptr;

    std::array<controls::PushButton*, 2> m_test{};
    std::array<QLabel*, 2> m_error{};
};

} // namespace vigilux::ui
