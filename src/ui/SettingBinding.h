#pragma once

#include <QString>

class QObject;

namespace vigilux::core {
struct NotifySettings;
struct Settings;
} // namespace vigilux::core

namespace vigilux::ui {

// Ties an option page's editors to keys of core::SettingsTable: the page
// names the key each editor edits (bind), then fill() and copy() carry every
// named editor below the page from the record and back, so a page lists its
// widgets and keys and never its fields. A number editor takes its key's
// range from the table.
//
// Editors: controls::CheckBox, QLineEdit, QSpinBox, controls::Slider,
// QAbstractSlider (a scroll bar), QComboBox (the index) and QButtonGroup (the
// id of the checked button). Record is core::Settings or core::NotifySettings.
// UI thread only.
template <typename Record>
class SettingBinding final {
public:
    // A key the table lacks is a programming error and ends the program at
    // once, so no page silently edits nothing.
    static void bind(QObject* editor, const QString& key);
    static void fill(const QObject* page, const Record& record);
    static void copy(const QObject* page, Record& record);
};

} // namespace vigilux::ui
