#pragma once

#include "app/OpenWindows.h"
#include "app/Running.h"
#include "app/Shell.h"
#include "settings/SensorTarget.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

namespace vigilux {
struct AppContext;
}

namespace vigilux::app {

// The main window: borderless, always on top, dragged by its header. It owns
// the long-lived parts of the program and carries out start-up and shutdown
// steps for Lifecycle.
class Main final : public QWidget, public Shell, public settings::SensorTarget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Main)
public:
    explicit Main(AppContext& context, QWidget* parent = nullptr);
    ~Main() override;

    // Designed inner size and the smallest size the user can drag it to.
    static constexpr QSize DesignSize{505, 348};
    static constexpr QSize MinimumSize{504, 348};

    // SensorTarget
    void SetSensor(qint16 Number, qint32 Value) override;

    // Shell
    void hideMain() override;
    void placeBorderLines() override;
    void makeTopmost() override;
    void createTray() override;
    void showSplash() override;
    void WebcamStart() override;
    void setLabelTips(const QStringList& tips) override;
    void installWindowProc() override;
    void showSettingsFolderNote(const QString& iniPath) override;
    void showMain() override;
    void MeHide() override;
    void StartAuto() override;
    void armUpdateCheck() override;
    void BScheck() override;
    void WebcamStop() override;
    void restoreWindowProc() override;
    void UnLoadAll() override;

    // The exit command: unloads the main window, then ends the process.
    void Exit();

    QLabel* St() const { return m_st; }
    QTimer& UpTimer() { return m_upTimer; }
    Running* splash() const { return m_splash; }
    std::array<QWidget*, 4> L() const { return m_L; }
    // The detector values last applied, in SetSensor's numbering.
    const std::array<qint32, 3>& sensorValues() const { return m_sensorValues; }
    const QStringList& labelTips() const { return m_labelTips; }

signals:
    // The splash has ended; start-up continues with Lifecycle::SplashEnded.
    void SplashEnded();
    // The exit command asks for the unload sequence (Lifecycle::Unload).
    void UnloadRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void UpTimer_Timer();

    AppContext& m_context;
    OpenWindows m_forms;
    QLabel* m_st = nullptr;
    std::array<QWidget*, 4> m_L{};
    QPointer<Running> m_splash;
    QTimer m_upTimer;
    std::array<qint32, 3> m_sensorValues{};
    QStringList m_labelTips;
    bool m_exiting = false;
};

} // namespace vigilux::app
