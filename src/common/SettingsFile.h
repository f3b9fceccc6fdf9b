#pragma once

#include <QSettings>

namespace vm {

// The settings file (sheet choices, printer offsets) in the INI form Qt's own writes, so values
// saved before are read on, but written so that a full disk leaves the old file: Qt's own INI
// writer lets its save file rename a file whose last write failed, which empties the settings.
// A failed save shows as QSettings::AccessError after sync().
QSettings::Format checkedSettingsFormat();

} // namespace vm
