#pragma once

#include "net/FTP.h"

#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QLineEdit;

namespace vigilux {
struct AppContext;
}

namespace vigilux::controls {
class Check;
class XpB;
} // namespace vigilux::controls

namespace vigilux::settings {
class Moptions;
}

namespace vigilux::net {

class FTPStatus;

// The "Загрузка изображений на FTP" window: the upload switch, server,
// remote folder, login and password, and a connection test that uploads a
// small icon with the window's own FTP client. OK stores the fields in the
// settings record and saves the FTP keys; Отмена and the close box change
// nothing. Opened modally by the main window; the context and the settings
// module must outlive it.
class FTPoptions final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FTPoptions)

public:
    static const QString kTestCaption;
    static const QString kWaitCaption;

    FTPoptions(AppContext& context, settings::Moptions& options, QWidget* parent = nullptr);
    ~FTPoptions() override;

    controls::Check* Check1() const { return m_check1; }
    QLineEdit* Text(int index) const { return m_text.at(static_cast<std::size_t>(index)); }
    controls::XpB* XpB(int index) const { return m_xpb.at(static_cast<std::size_t>(index)); }
    // The test client; tests point it at their own server port.
    FTP& FTP1() { return m_ftp1; }
    FTPStatus* FTP1Status() const { return m_status; }

    // Where the test icon is written: the folder named by TEMP, or the
    // system's temporary folder when TEMP is unset or empty.
    static QString testIconPath();
    // Writes the test icon; false when the file could not be written.
    static bool writeTestIcon(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Check1_Click();
    void XpB_Click(int index);
    void TestConnection();
    void FTP1_Res(const QString& Res);
    void setButtonsEnabled(bool enabled);

    AppContext& m_context;
    settings::Moptions& m_options;
    FTP m_ftp1;
    controls::Check* m_check1;
    std::array<QLineEdit*, 4> m_text{};
    std::array<controls::XpB*, 3> m_xpb{};
    QLabel* m_pic;
    FTPStatus* m_status;
};

} // namespace vigilux::net
