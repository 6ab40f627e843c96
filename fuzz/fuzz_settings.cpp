// libFuzzer target: the settings file's field-by-field reading on any bytes (up to the record's
// length, as the loader reads it). Whatever it takes, the record written from it reads back whole
// and the same.
#include <algorithm>
#include <span>

#include "core/RecordingHost.h"
#include "files/Settings.h"
#include "files/SettingsFile.h"

using namespace nyxel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecordingHost host;
  Settings s;
  DecodeSettings(std::span<const uint8_t>(data, std::min(size, kSettingsFileBytes)), s, host);
  const auto written = EncodeSettings(s);
  Settings again;
  if (DecodeSettings(written, again, host) != 0) __builtin_trap();
  if (EncodeSettings(again) != written) __builtin_trap();
  if (!AutosaveSubdirInside(s.autosave_subdir)) __builtin_trap();
  host.Clear();
  return 0;
}
