#pragma once

#include <QColor>
#include <QLineF>
#include <QSize>
#include <QString>

#include <array>

class QWidget;

namespace vigilux::ui {
class CaptureControl;
}
namespace vigilux::controls {
class OverlayLabel;
class PushButton;
class SizeGrip;
class TitleBarButton;
} // namespace vigilux::controls
namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::ui {

class BlackPictureNotice;
class HeaderPiece;
class SavedMark;
class StatusLabel;

// The main window's children and where they sit: built once at the
// designed size around the capture control and the recording indicator, and
// moved when the window's size changes. The widgets belong to the window.
class MainWindowLayout final {
public:
    // The button bar, top to bottom.
    enum class Button {
        Snapshot,
        Watch,
        DetectorSettings,
        ProgramOptions,
        FtpSettings,
        Exit,
        About,
        SmsSettings // built but never shown: nothing in the window reaches the SMS window
    };
    static constexpr int ButtonCount = 8;
    // The labels over the picture.
    enum class Label {
        Speed,       // detector steps per second
        Interval,    // detector interval in ms
        ImageFormat, // size of the saved pictures
        Motion,      // the last step's change, red on an alarm
        Threshold,   // the motion percent that raises an alarm
        AlarmCount   // alarms since watch mode was switched on
    };
    static constexpr int LabelCount = 6;
    // The object names tests and style sheets find the widgets by.
    static QString objectName(Button which);
    static QString objectName(Label which);

    // Builds the header, title-bar buttons, button bar, overlay labels,
    // status line, saved mark, black-picture notice, border lines and size
    // grip in `window`, in that order of stacking. `capture` and `record`
    // are the window's children already; they are placed here.
    // `urls` opens the black-picture notice's help link.
    MainWindowLayout(QWidget& window, ui::CaptureControl& capture, QWidget& record,
                     platform::UrlOpener& urls);

    // Background of the overlay labels, and the motion label's alarm colour.
    static const QColor LabelGrey;
    static const QColor AlarmRed;

    // The border lines along the window's edges at its present size.
    void placeBorderLines();
    // Moves and stretches everything from the size `old` to `now`; the
    // capture control only changes its size.
    void resize(const QSize& old, const QSize& now);

    controls::PushButton& button(Button which) const {
        return *m_buttons.at(static_cast<size_t>(which));
    }
    controls::OverlayLabel& label(Label which) const {
        return *m_labels.at(static_cast<size_t>(which));
    }
    controls::TitleBarButton& closeButton() const { return *m_closeButton; }
    controls::TitleBarButton& hideButton() const { return *m_hideButton; }
    controls::TitleBarButton& maximizeButton() const { return *m_maximizeButton; }
    StatusLabel& statusLabel() const { return *m_statusLine; }
    SavedMark& savedMark() const { return *m_savedMark; }
    BlackPictureNotice& blackPicture() const { return *m_blackPicture; }
    controls::SizeGrip& sizeGrip() const { return *m_sizeGrip; }
    std::array<QWidget*, 4> borderLines() const { return m_borderLines; }

private:
    void buildTitleBar(int width);
    void buildButtons(int width);
    void buildLabels(int height);
    void placeLine(int index);
    void placeBottomLabels();

    QWidget& m_window;
    ui::CaptureControl& m_capture;
    QWidget& m_record;
    std::array<HeaderPiece*, 3> m_header{};
    controls::TitleBarButton* m_closeButton = nullptr;
    controls::TitleBarButton* m_hideButton = nullptr;
    controls::TitleBarButton* m_maximizeButton = nullptr;
    std::array<controls::PushButton*, ButtonCount> m_buttons{};
    std::array<controls::OverlayLabel*, LabelCount> m_labels{};
    StatusLabel* m_statusLine = nullptr;
    SavedMark* m_savedMark = nullptr;
    BlackPictureNotice* m_blackPicture = nullptr;
    std::array<QWidget*, 4> m_borderLines{};
    std::array<QLineF, 4> m_borderGeometry{};
    controls::SizeGrip* m_sizeGrip = nullptr;
};

} // namespace vigilux::ui
