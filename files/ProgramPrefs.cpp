#include "files/ProgramPrefs.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "core/AtomicFile.h"

namespace nyxel {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool ProgramPrefs::Load(const Drive& drive, std::string_view file) {
  const auto path = drive.Resolve(file);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return false;
  Parse(text.str());
  return true;
}

bool ProgramPrefs::Save(const Drive& drive, std::string_view file) const {
  const std::string text = Text();
  AtomicFile out(drive.Resolve(file));
  return out.Open() && out.Write(text.data(), text.size()) && out.Commit();
}

std::string ProgramPrefs::Get(std::string_view key, std::string_view fallback) const {
  const auto it = values_.find(std::string(key));
  return it == values_.end() ? std::string(fallback) : it->second;
}

bool ProgramPrefs::GetBool(std::string_view key, bool fallback) const {
  const std::string v = Get(key);
  if (v == "1" || v == "true" || v == "on" || v == "yes") return true;
  if (v == "0" || v == "false" || v == "off" || v == "no") return false;
  return fallback;
}

long ProgramPrefs::GetInt(std::string_view key, long fallback, long lo, long hi) const {
  const std::string v = Get(key);
  long n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size() || n < lo || n > hi) return fallback;
  return n;
}

void ProgramPrefs::Set(std::string_view key, std::string_view value) {
  std::string v(value);
  for (char& c : v) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  values_[std::string(Trim(key))] = std::string(Trim(v));
}

std::string ProgramPrefs::Text() const {
  std::string text = "# Nyxel's own settings (the fixed record is nyxel.ini)\n";
  for (const auto& [key, value] : values_) text += key + " = " + value + "\n";
  return text;
}

void ProgramPrefs::Parse(std::string_view text) {
  values_.clear();
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (line.empty() || line.front() == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    values_[std::string(key)] = std::string(Trim(line.substr(eq + 1)));
  }
}

}  // namespace nyxel
