#pragma once

#include "ui/ProgramOptionsPage.h"

namespace vigilux::ui {

// "Детектор": what an alarm does: save the frame, play a sound, run a
// program (and wait for it), show a balloon.
class AlarmOptionsPage final : public ProgramOptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmOptionsPage)

public:
    // The alarm-program picker's choices on this platform.
    static QString alarmProgramFilter();

    explicit AlarmOptionsPage(AppContext& context, QWidget* parent = nullptr);

    // The program's own executable, which the alarm-program picker refuses.
    void setOwnExecutable(const QString& path) { m_ownExecutable = path; }

private:
    QString pickProgram();

    QString m_ownExecutable;
    PathRow m_soundPath;
    PathRow m_programPath;
    controls::CheckBox* m_wait = nullptr;
};

} // namespace vigilux::ui
