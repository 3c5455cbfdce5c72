#pragma once

#include "ui/OptionsPage.h"

class QLabel;
class QLineEdit;
class QSpinBox;

namespace vigilux {
struct AppContext;
}
namespace vigilux::controls {
class CheckBox;
}

namespace vigilux::ui {

class RemoteViewWiring;

// "Удалённый доступ": the web page for the user's phone. On/off, port,
// password (typed twice; only its Argon2id hash is kept, and empty fields
// keep the one set before), "только локальная сеть", the user's own
// certificate and key, and what to type on the phone with the certificate's
// fingerprint to compare on the first visit. OK writes the [Remote] keys and
// starts, restarts or stops the server. The wiring must outlive the page.
class RemoteAccessPage final : public OptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteAccessPage)
public:
    static constexpr int MinPasswordLength = 8;

    RemoteAccessPage(AppContext& context, RemoteViewWiring& wiring, QWidget* parent = nullptr);

    QString caption() const override;
    bool accepts() override;
    void fillControls() override;
    void copyControls() override;
    void save() override;

private:
    void showState();

    AppContext& m_context;
    RemoteViewWiring& m_wiring;
    controls::CheckBox* m_on = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_repeat = nullptr;
    QLabel* m_passwordNote = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_address = nullptr;
    QLabel* m_fingerprintNote = nullptr;
    QLabel* m_fingerprint = nullptr;
};

} // namespace vigilux::ui
