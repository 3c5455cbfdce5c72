#include "ui/SettingBinding.h"

#include "controls/CheckBox.h"
#include "controls/Slider.h"
#include "core/SettingsTable.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

namespace vigilux::ui {

namespace {

// The property that names an editor's key, as KDE's "kcfg_" name prefix
// does, without taking the object name tests and styles rely on.
constexpr char KeyProperty[] = "settingKey";

template <typename Record>
using Key = core::SettingKey<Record>;

// Every editor below `page` with the key it edits.
template <typename Record, typename Visit>
void forEachEditor(const QObject* page, Visit visit) {
    for (QObject* editor : page->findChildren<QObject*>()) {
        const QString name = editor->property(KeyProperty).toString();
        if (name.isEmpty())
            continue;
        // Keys of the other record belong to another page inside this one.
        if (const Key<Record>* key = core::SettingsTable<Record>::find(name))
            visit(editor, *key);
    }
}

} // namespace

template <typename Record>
void SettingBinding<Record>::bind(QObject* editor, const QString& name) {
    const Key<Record>* key = core::SettingsTable<Record>::find(name);
    if (!key)
        qFatal("An option page binds the unknown setting %s", qPrintable(name));
    editor->setProperty(KeyProperty, name);
    if (!key->isNumber())
        return;
    if (auto* box = qobject_cast<QSpinBox*>(editor)) {
        box->setRange(key->low, key->high);
    } else if (auto* slider = qobject_cast<controls::Slider*>(editor)) {
        slider->setMin(key->low);
        slider->setMax(key->high);
    } else if (auto* bar = qobject_cast<QAbstractSlider*>(editor)) {
        bar->setRange(key->low, key->high);
    }
}

template <typename Record>
void SettingBinding<Record>::fill(const QObject* page, const Record& record) {
    forEachEditor<Record>(page, [&record](QObject* editor, const Key<Record>& key) {
        const QVariant value = key.get(record);
        if (auto* box = qobject_cast<controls::CheckBox*>(editor))
            box->setValue(value.toBool());
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(value.toString());
        else if (auto* spin = qobject_cast<QSpinBox*>(editor))
            spin->setValue(value.toInt());
        else if (auto* slider = qobject_cast<controls::Slider*>(editor))
            slider->setValue(value.toInt());
        else if (auto* bar = qobject_cast<QAbstractSlider*>(editor))
            bar->setValue(value.toInt());
        else if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentIndex(std::clamp(value.toInt(), 0, combo->count() - 1));
        else if (auto* group = qobject_cast<QButtonGroup*>(editor)) {
            // The buttons' ids run from 0; a mode the page does not offer
            // shows as the nearest one.
            const int last = static_cast<int>(group->buttons().size()) - 1;
            if (QAbstractButton* button = group->button(std::clamp(value.toInt(), 0, last)))
                button->setChecked(true);
        }
    });
}

template <typename Record>
void SettingBinding<Record>::copy(const QObject* page, Record& record) {
    forEachEditor<Record>(page, [&record](QObject* editor, const Key<Record>& key) {
        if (auto* box = qobject_cast<controls::CheckBox*>(editor)) {
            key.set(record, box->value());
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            key.set(record, key.has(Key<Record>::Trimmed) ? line->text().trimmed() : line->text());
        } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            key.set(record, spin->value());
        } else if (auto* slider = qobject_cast<controls::Slider*>(editor)) {
            key.set(record, slider->value());
        } else if (auto* bar = qobject_cast<QAbstractSlider*>(editor)) {
            key.set(record, bar->value());
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            key.set(record, combo->currentIndex());
        } else if (auto* group = qobject_cast<QButtonGroup*>(editor)) {
            // Nothing checked leaves the record as it is.
            if (group->checkedId() != -1)
                key.set(record, group->checkedId());
        }
    });
}

template class SettingBinding<core::Settings>;
template class SettingBinding<core::NotifySettings>;

} // namespace vigilux::ui
