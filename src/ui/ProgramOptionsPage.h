#pragma once

#include "ui/FilePickers.h"
#include "ui/OptionsPage.h"

#include <functional>

class QLineEdit;

namespace vigilux {
struct AppContext;
}
namespace vigilux::controls {
class CheckBox;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

// A page of "Настройки" with the program's own keys. Each editor names the
// key it edits (ui::SettingBinding), so the page fills and copies through the
// settings table; the window writes all the program's keys at once on OK, so
// save() has nothing of its own. The editors keep the window's object names:
// "Check_N" with its "CheckCaption_N", "Text_N" with its "..." button "Sel_N".
// `context` must outlive the page. UI thread only.
class ProgramOptionsPage : public OptionsPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgramOptionsPage)

public:
    ProgramOptionsPage(AppContext& context, QString caption, QWidget* parent = nullptr);
    ~ProgramOptionsPage() override;

    QString caption() const override { return m_caption; }
    // Values set from code raise no clicked, so the dependent controls keep
    // their enabled state.
    void fillControls() override;
    void copyControls() override;
    void save() override {}

protected:
    // A path field with its "..." button; both follow the check box above.
    struct PathRow {
        QWidget* row = nullptr;
        QLineEdit* text = nullptr;
        controls::PushButton* sel = nullptr;
        void setEnabled(bool on) const;
    };

    // What the page shows beside its bound values, after a fill.
    virtual void afterFill() {}
    // A check box for `key` with its caption; `onClick` gets its value after
    // a user's click.
    QWidget* checkRow(int index, const QString& key, const QString& caption,
                      std::function<void(bool)> onClick = {}, controls::CheckBox** box = nullptr);
    // A path field for `key`; "..." puts what `browse` picks into the field
    // ("" changes nothing).
    PathRow pathRow(int index, const QString& key, int minimumWidth,
                    std::function<QString()> browse);

    AppContext& m_context;
    FilePickers m_pickers;

private:
    QString m_caption;
};

} // namespace vigilux::ui
