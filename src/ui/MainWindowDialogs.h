#pragma once

class QWidget;

namespace vigilux {
struct AppContext;
}
namespace vigilux::app {
class UpdateChecker;
}
namespace vigilux::core {
class DetectorValuesTarget;
class SettingsStorage;
} // namespace vigilux::core
namespace vigilux::ui {
class CaptureControl;
}
namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::ui {

class MainWindowLayout;
class NotificationWiring;
class RecordingIndicator;
class RemoteViewWiring;
class UploadWiring;

// The windows the main window opens over itself: detector settings, program
// options (with the notification and remote access pages), FTP upload and about.
class MainWindowDialogs final {
public:
    // The parts belong to the main window and outlive this.
    struct Parts {
        QWidget& window;
        core::DetectorValuesTarget& detectorValues;
        ui::CaptureControl& capture;
        MainWindowLayout& layout;
        RecordingIndicator& record;
        UploadWiring& uploads;
        NotificationWiring& notifications;
        RemoteViewWiring& remote;
        app::UpdateChecker& updates;
        platform::UrlOpener& urls;
    };

    MainWindowDialogs(AppContext& context, Parts parts);

    // The settings storage the windows save through; without it the settings
    // windows do not open.
    void setOptions(core::SettingsStorage* options) { m_options = options; }

    void openDetectorSettings();
    // "Поиск объектов", from the detector window.
    void openObjectDetector(bool calibrate);
    void openProgramOptions();
    void openFtpSettings();
    void openAbout();

private:
    AppContext& m_context;
    Parts m_parts;
    core::SettingsStorage* m_options = nullptr;
};

} // namespace vigilux::ui
