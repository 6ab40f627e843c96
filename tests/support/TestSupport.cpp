#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace nyxel::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nyxel-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<unsigned char> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) old_ = old;
  ::setenv("TZ", zone, 1);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (old_) {
    ::setenv("TZ", old_->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

std::tm CivilTm(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t = CivilTm(year, month, day, hour, minute, second);
  return ::timegm(&t);
}

}  // namespace nyxel::test
