#pragma once
// The folder that stands for drive c:, where the program keeps its fixed files.
#include <filesystem>
#include <string>
#include <string_view>

namespace nyxel {

class Drive {
 public:
  explicit Drive(std::filesystem::path root);
  // $HOME/Nyxel.
  static std::filesystem::path DefaultRoot();

  const std::filesystem::path& Root() const { return root_; }

  // Maps a drive path such as "c:\autosave\Nyxel.INI" into the folder. Names are matched without
  // regard to case against what already exists; a new name keeps its case, except the program's
  // own fixed names, which are created in lower case ("c:\AUTOSAVE" and "c:\autosave" are one folder).
  // A path that does not start with "c:" is taken as an ordinary path.
  std::filesystem::path Resolve(std::string_view path) const;

  // Serial port 1 or 2: <drive>/com1 when that link exists, else /dev/ttyUSB0, else /dev/ttyS0.
  std::filesystem::path SerialPort(int port) const;

 private:
  std::filesystem::path root_;
};

// Fixed drive paths.
inline constexpr std::string_view kDisplayBitmapPath = "c:\\nyxel.bmp";
inline constexpr std::string_view kFocusBitmapPath = "c:\\nyxelf.bmp";
inline constexpr std::string_view kAutosaveFolderPath = "c:\\autosave";
inline constexpr std::string_view kSettingsFilePath = "c:\\autosave\\Nyxel.INI";
inline constexpr std::string_view kDarkFramePath = "c:\\dark.def";
inline constexpr std::string_view kFlatFieldPath = "c:\\flat.def";

}  // namespace nyxel
