#pragma once

#include "upload/FtpClient.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;

namespace vigilux {
struct AppContext;
}

namespace vigilux::upload {
class UploadBacklog;
}
namespace vigilux::controls {
class CheckBox;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

class FtpStatusIcon;

// The "Загрузка изображений на FTP" window: the upload switch, server,
// remote folder, login and password, and a connection test that uploads a
// small icon with the window's own FTP client; with a backlog, how many
// pictures wait for upload and the last error. OK stores the fields in the
// settings record and saves the FTP keys; Отмена and the close box change
// nothing. Opened modally by the main window; the context and the settings
// module must outlive it.
class FtpSettingsWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpSettingsWindow)

public:
    static const QString kTestCaption;
    static const QString kWaitCaption;

    // OK copies the fields into the settings record, then calls `saveFtp` to
    // write them to the INI file. `backlog`, when given, must outlive the window.
    FtpSettingsWindow(AppContext& context, std::function<void()> saveFtp, QWidget* parent = nullptr,
                      const upload::UploadBacklog* backlog = nullptr);
    ~FtpSettingsWindow() override;

    controls::CheckBox* uploadBox() const { return m_uploadBox; }
    QLineEdit* field(int index) const { return m_text.at(static_cast<std::size_t>(index)); }
    controls::PushButton* button(int index) const {
        return m_buttons.at(static_cast<std::size_t>(index));
    }
    // The test client; tests point it at their own server port.
    upload::FtpClient& ftp() { return m_ftp; }
    FtpStatusIcon* ftpStatus() const { return m_status; }
    // The queue length and the last error (hidden without a backlog).
    QLabel* queueLabel() const { return m_queueLabel; }
    QLabel* errorLabel() const { return m_errorLabel; }
    // Reads the backlog again (a timer does so while the window is open).
    void showBacklog();

    // Where the test icon is written: the folder named by TEMP, or the
    // system's temporary folder when TEMP is unset or empty.
    static QString testIconPath();
    // Writes the test icon; false when the file could not be written.
    static bool writeTestIcon(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onUploadToggled();
    void onButtonClicked(int index);
    void testConnection();
    void onTestResult(const core::Status& result);
    void setButtonsEnabled(bool enabled);

    AppContext& m_context;
    std::function<void()> m_saveFtp;
    upload::FtpClient m_ftp;
    controls::CheckBox* m_uploadBox;
    std::array<QLineEdit*, 4> m_text{};
    std::array<controls::PushButton*, 3> m_buttons{};
    QLabel* m_pic;
    FtpStatusIcon* m_status;
    const upload::UploadBacklog* m_backlog;
    QLabel* m_queueLabel;
    QLabel* m_errorLabel;
    QTimer m_backlogTimer;
};

} // namespace vigilux::ui
