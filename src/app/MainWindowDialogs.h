#pragma once

class QWidget;

namespace vigilux {
struct AppContext;
}
namespace vigilux::capture {
class CaptureControl;
}
namespace vigilux::platform {
class UrlOpener;
}
namespace vigilux::settings {
class DetectorValuesTarget;
class SettingsStorage;
} // namespace vigilux::settings

namespace vigilux::app {

class MainWindowLayout;
class NotificationWiring;
class RecordingIndicator;
class UpdateChecker;
class UploadWiring;

// The windows the main window opens over itself: detector settings, program
// options (with the notification page), FTP upload and about.
class MainWindowDialogs final {
public:
    // The parts belong to the main window and outlive this.
    struct Parts {
        QWidget& window;
        settings::DetectorValuesTarget& detectorValues;
        capture::CaptureControl& capture;
        MainWindowLayout& layout;
        RecordingIndicator& record;
        UploadWiring& uploads;
        NotificationWiring& notifications;
        UpdateChecker& updates;
        platform::UrlOpener& urls;
    };

    MainWindowDialogs(AppContext& context, Parts parts);

    // The settings storage the windows save through; without it the settings
    // windows do not open.
    void setOptions(settings::SettingsStorage* options) { m_options = options; }

    void openDetectorSettings();
    void openProgramOptions();
    void openFtpSettings();
    void openAbout();

private:
    AppContext& m_context;
    Parts m_parts;
    settings::SettingsStorage* m_options = nullptr;
};

} // namespace vigilux::app
