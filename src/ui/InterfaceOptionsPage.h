#pragma once

#include "ui/ProgramOptionsPage.h"

namespace vigilux::ui {

// "Интерфейс": start-up, the save sound, the screen saver, update checks.
class InterfaceOptionsPage final : public ProgramOptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InterfaceOptionsPage)

public:
    explicit InterfaceOptionsPage(AppContext& context, QWidget* parent = nullptr);

private:
    PathRow m_soundPath;
};

} // namespace vigilux::ui
