#include "ui/ProgramOptionsPage.h"

#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "ui/SettingBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace vigilux::ui {

namespace {

QString indexed(const char* name, int index) {
    return QLatin1String(name) + QLatin1Char('_') + QString::number(index);
}

} // namespace

ProgramOptionsPage::ProgramOptionsPage(AppContext& context, QString caption, QWidget* parent)
    : OptionsPage(parent)
    , m_context(context)
    , m_pickers(context.dialogs)
    , m_caption(std::move(caption)) {}

ProgramOptionsPage::~ProgramOptionsPage() = default;

void ProgramOptionsPage::fillControls() {
    SettingBinding<core::Settings>::fill(this, m_context.settings);
    afterFill();
}

void ProgramOptionsPage::copyControls() {
    SettingBinding<core::Settings>::copy(this, m_context.settings);
}

void ProgramOptionsPage::PathRow::setEnabled(bool on) const {
    text->setEnabled(on);
    sel->setEnabledCtrl(on);
}

QWidget* ProgramOptionsPage::checkRow(int index, const QString& key, const QString& caption,
                                      std::function<void(bool)> onClick,
                                      controls::CheckBox** made) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* box = new controls::CheckBox(row);
    box->setObjectName(indexed("Check", index));
    SettingBinding<core::Settings>::bind(box, key);
    auto* label = new QLabel(caption, row);
    label->setObjectName(indexed("CheckCaption", index));
    layout->addWidget(box);
    layout->addWidget(label);
    layout->addStretch(1);
    if (onClick)
        connect(box, &controls::CheckBox::clicked, this,
                [box, onClick = std::move(onClick)] { onClick(box->value()); });
    if (made)
        *made = box;
    return row;
}

ProgramOptionsPage::PathRow ProgramOptionsPage::pathRow(int index, const QString& key,
                                                        int minimumWidth,
                                                        std::function<QString()> browse) {
    PathRow path;
    path.row = new QWidget(this);
    auto* layout = new QHBoxLayout(path.row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    path.text = new QLineEdit(path.row);
    path.text->setObjectName(indexed("Text", index));
    path.text->setMinimumWidth(minimumWidth);
    SettingBinding<core::Settings>::bind(path.text, key);
    path.sel = new controls::PushButton(QStringLiteral("..."), path.row);
    path.sel->setObjectName(indexed("Sel", index));
    path.sel->setButtonStyle(0);
    path.sel->setFixedSize(26, 22);
    layout->addWidget(path.text);
    layout->addWidget(path.sel);
    layout->addStretch(1);
    if (browse) {
        QLineEdit* text = path.text;
        connect(path.sel, &controls::PushButton::clicked, this, [text, browse = std::move(browse)] {
            const QString chosen = browse();
            if (!chosen.isEmpty())
                text->setText(chosen);
        });
    }
    return path;
}

} // namespace vigilux::ui
