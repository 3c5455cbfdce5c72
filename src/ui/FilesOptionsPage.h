#pragma once

#include "ui/ProgramOptionsPage.h"

class QLabel;
class QScrollBar;

namespace vigilux::ui {

// "Файлы": the save folder, day folders, a fixed file name, and the picture
// limit per folder (a count set with a small scroll bar, with a warning
// behind the help icon).
class FilesOptionsPage final : public ProgramOptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FilesOptionsPage)

public:
    explicit FilesOptionsPage(AppContext& context, QWidget* parent = nullptr);

protected:
    void afterFill() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onLimitScrolled(int value);
    void onInfoClicked();

    PathRow m_fileName;
    QLabel* m_limitLabel = nullptr;
    QScrollBar* m_limitScroll = nullptr;
    QLabel* m_infoIcon = nullptr;
};

} // namespace vigilux::ui
