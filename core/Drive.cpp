#include "core/Drive.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace nyxel {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool IsFixedName(const std::string& lower) {
  static constexpr std::array<std::string_view, 7> kNames = {
      "autosave", "nyxel.ini", "nyxel.bmp", "nyxelf.bmp", "dark.def", "flat.def", "nyxel.hlp"};
  return std::find(kNames.begin(), kNames.end(), lower) != kNames.end();
}

// The entry of `dir` whose name equals `name` without regard to case, or the name to create.
std::string MatchEntry(const std::filesystem::path& dir, const std::string& name) {
  const std::string lower = Lower(name);
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) {
    if (std::filesystem::exists(dir / name, ec)) return name;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      const std::string existing = entry.path().filename().string();
      if (Lower(existing) == lower) return existing;
    }
  }
  return IsFixedName(lower) ? lower : name;
}

}  // namespace

Drive::Drive(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path Drive::DefaultRoot() {
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / "Nyxel";
}

std::filesystem::path Drive::Resolve(std::string_view path) const {
  if (path.size() < 2 || std::tolower(static_cast<unsigned char>(path[0])) != 'c' || path[1] != ':') {
    return std::filesystem::path(path);
  }
  std::filesystem::path result = root_;
  size_t pos = 2;
  while (pos <= path.size()) {
    size_t next = path.find_first_of("\\/", pos);
    if (next == std::string_view::npos) next = path.size();
    const std::string part(path.substr(pos, next - pos));
    if (!part.empty() && part != ".") {
      if (part == "..") {
        // Never leave the drive folder.
        if (result != root_) result = result.parent_path();
      } else {
        result /= MatchEntry(result, part);
      }
    }
    pos = next + 1;
  }
  return result;
}

std::filesystem::path Drive::SerialPort(int port) const {
  const int n = port == 1 ? 1 : 2;
  std::error_code ec;
  const auto link = root_ / ("com" + std::to_string(n));
  if (std::filesystem::exists(link, ec)) return link;
  const std::filesystem::path usb = "/dev/ttyUSB" + std::to_string(n - 1);
  if (std::filesystem::exists(usb, ec)) return usb;
  return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace nyxel
