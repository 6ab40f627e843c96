#pragma once
// The program's own small settings file "c:\autosave\nyxel.conf", beside the fixed settings record:
// choices that record has no field for (the View choices, the INDI telescope link). One `key = value`
// line each, so a newer copy's keys survive an older copy's save; unknown keys are kept as read.
#include <map>
#include <string>
#include <string_view>

#include "core/Drive.h"

namespace nyxel {

inline constexpr std::string_view kProgramPrefsPath = "c:\\autosave\\nyxel.conf";

class ProgramPrefs {
 public:
  // Reads the file. Returns false when there is none (the very first start: every Get gives its
  // default) or it cannot be read; lines without '=' and comments ('#') are skipped.
  bool Load(const Drive& drive, std::string_view file = kProgramPrefsPath);
  // Writes every key (sorted) through a temporary file; false when that failed (previous file intact).
  bool Save(const Drive& drive, std::string_view file = kProgramPrefsPath) const;

  bool Has(std::string_view key) const { return values_.contains(std::string(key)); }
  std::string Get(std::string_view key, std::string_view fallback = {}) const;
  // "1"/"0" (also "true"/"false", "on"/"off", "yes"/"no"); the fallback for anything else.
  bool GetBool(std::string_view key, bool fallback) const;
  // A decimal integer within [lo, hi]; the fallback otherwise.
  long GetInt(std::string_view key, long fallback, long lo, long hi) const;

  // Keys are lower-case words with '_' and '.'; values one line (newlines become spaces).
  void Set(std::string_view key, std::string_view value);
  void SetBool(std::string_view key, bool value) { Set(key, value ? "1" : "0"); }
  void SetInt(std::string_view key, long value) { Set(key, std::to_string(value)); }
  void Erase(std::string_view key) { values_.erase(std::string(key)); }

  // The file's text for the current values (what Save writes).
  std::string Text() const;
  // Parses a file's text, replacing the current values.
  void Parse(std::string_view text);

 private:
  std::map<std::string, std::string> values_;
};

}  // namespace nyxel
