#pragma once
// The settings file "c:\autosave\Nyxel.INI": one fixed 1,181-byte record of every setting, always
// written whole, read field by field in one order.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/Drive.h"
#include "core/Host.h"
#include "files/Settings.h"

namespace nyxel {

inline constexpr size_t kSettingsFileBytes = 1181;
// Characters of the sub-folder name the dialog (and the batch step) accept.
inline constexpr size_t kAutosaveSubdirLimit = 69;

// The warning LoadSettings shows (empty caption) when the file is missing or ends early.
inline constexpr std::string_view kNoSettingsFileWarning =
    "Warning!\nNo INI file found, please set defaults...";

// Reads the settings from the file into `s`. First start (no "c:\autosave" folder yet): creates the
// folder and writes the current values without reading or showing anything. Returns 0 when the file
// was read (or rewritten), 2 when it is missing or ends early (fields read before that keep their new
// values), 3 when a rewrite failed. An invalid field stops reading and rewrites the file from the
// current values; the invalid value itself is not taken.
int LoadSettings(Settings& s, const Drive& drive, Host& host, std::string_view file = kSettingsFilePath);

// The field-by-field reading of LoadSettings on the file's bytes: 0, 2 when they end early (the warning
// shown), or kSettingsRewrite when an invalid field stopped the reading (the caller rewrites the file).
inline constexpr int kSettingsRewrite = -1;
int DecodeSettings(std::span<const uint8_t> bytes, Settings& s, Host& host);

// Writes every setting to the file. Returns 0, or 3 when the file could not be written; a failed
// save leaves the previous file as it was. Shows nothing.
int SaveSettings(const Settings& s, const Drive& drive, std::string_view file = kSettingsFilePath);

// The file's bytes for these settings (what SaveSettings writes).
std::array<uint8_t, kSettingsFileBytes> EncodeSettings(const Settings& s);

// "c:\AUTOSAVE", or "c:\AUTOSAVE\" followed by the sub-folder when there is one.
std::string AutosaveDir(std::string_view autosave_subdir);
// True when the sub-folder keeps the autosave folder inside "c:\AUTOSAVE": no ".." climbs above it
// ("a\..\b" stays inside, ".." and "a\..\.." do not).
bool AutosaveSubdirInside(std::string_view subdir);
// Sets `autosave_subdir` (cut to 69 characters) and rebuilds `autosave_dir`.
void SetAutosaveSubdir(Settings& s, std::string_view subdir);
// Sets `background_colour` to 'l', 'g' or 'r' with its red, green and blue values and marks the
// background changed; false (nothing changed) for any other letter.
bool SetBackgroundColour(Settings& s, char letter);

}  // namespace nyxel
