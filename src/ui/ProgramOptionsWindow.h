#pragma once

#include "ui/ImageOptionsPage.h"

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class QGridLayout;
class QHBoxLayout;

namespace vigilux {
struct AppContext;
}

namespace vigilux::core {
class SettingsStorage;
}
namespace vigilux::video {
class CaptureCommands;
}
namespace vigilux::controls {
class PushButton;
}

namespace vigilux::ui {

class AlarmOptionsPage;
class EventsOptionsPage;
class OptionsPage;
class ProgramOptionsPage;

// "Настройки": the general settings on five pages, and the pages other parts
// of the program add. The window edits a copy:
// it fills its controls from the settings record when it opens, and only OK
// copies them back and writes the file; Cancel leaves both untouched.
//
// Lifetime: the caller creates it on the heap and runs exec(). One of the
// three buttons on the picture page (format, source, resolution window)
// hides the window, which ends exec() with Rejected, and shows it again
// modeless; from then on detached() is true and the window deletes itself
// when it is closed by OK, Cancel or its close box. So after exec() returns
// the caller deletes the window only when detached() is false, and never
// keeps the pointer otherwise (or holds it in a QPointer).
class ProgramOptionsWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgramOptionsWindow)

public:
    // `hideFormatLabel` hides the main window's resolution label after the
    // format dialog (the size it shows may no longer hold).
    ProgramOptionsWindow(AppContext& context, core::SettingsStorage& storage,
                         video::CaptureCommands& capture, std::function<void()> hideFormatLabel,
                         QWidget* parent = nullptr);
    ~ProgramOptionsWindow() override;

    // The program's own executable, which the alarm-program picker refuses;
    // QCoreApplication::applicationFilePath() unless set (tests set it).
    void setOwnExecutable(const QString& path);

    // Adds a page after the others, with a tab of its own; the window takes
    // it over, fills it at once, copies and saves it on OK.
    void addPage(OptionsPage* page);
    int pageCount() const { return static_cast<int>(m_cont.size()); }

    // True once the window was shown again modeless and owns its lifetime.
    bool detached() const { return m_detached; }
    bool loaded() const { return m_loaded; }
    int selectedTab() const { return m_selectedTab; }
    EventsOptionsPage& eventsPage() const { return *m_events; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void addTab(const QString& caption);
    void fitPages();

    void selectTab(int index);
    void fillControls();
    void copyControls();
    void onOkClicked();
    void onCancelClicked();
    void onDefaultsClicked();
    void onCaptureButtonClicked(ImageOptionsPage::CaptureButton button);

    AppContext& m_context;
    core::SettingsStorage& m_storage;
    video::CaptureCommands& m_capture;
    std::function<void()> m_hideFormatLabel;

    std::vector<controls::PushButton*> m_tabs;
    std::vector<QWidget*> m_cont;
    std::vector<QWidget*> m_marker;
    std::vector<OptionsPage*> m_added;
    QHBoxLayout* m_tabRow = nullptr;
    QGridLayout* m_pageGrid = nullptr;
    QWidget* m_pages = nullptr;
    // The pages of the program's own keys, in tab order; the events page
    // follows them.
    std::array<ProgramOptionsPage*, 4> m_own{};
    AlarmOptionsPage* m_alarm = nullptr;
    EventsOptionsPage* m_events = nullptr;
    std::array<controls::PushButton*, 3> m_buttons{};

    int m_selectedTab = -1;
    bool m_loaded = false;
    bool m_detached = false;
};

} // namespace vigilux::ui
