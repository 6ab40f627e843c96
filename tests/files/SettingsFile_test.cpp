// The settings file: byte layout, round trips, the per-field load rules, short and garbage files, and
// failed saves leaving the previous file.
#include "files/SettingsFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/AtomicFile.h"
#include "core/RecordingHost.h"
#include "tests/support/TestSupport.h"

namespace nyxel {
namespace {

using Bytes = std::vector<unsigned char>;

std::filesystem::path SettingsPath(const Drive& drive) {
  return drive.Root() / "autosave" / "nyxel.ini";
}

// Settings with a non-default value in every field.
Settings Unusual() {
  Settings s;
  s.autosave_counter = 40000;
  s.ut_offset_hours = -3;
  s.light_pollution_correction = true;
  s.line_offset = true;
  s.pixel_offset = false;
  s.fast_par = true;
  s.reserved_choice_a = 2;
  s.guide_mask_radius = 13;
  s.anti_alias = false;
  s.weak_stretch = true;
  s.strong_stretch = true;
  s.ir_filter_used = true;
  s.saturation_factor = 7;
  s.reserved_choice_b = 3;
  SetBackgroundColour(s, 'r');
  s.focus_delay = false;
  s.user_stretch = true;
  s.user_stretch_value = 36;
  s.high_pass = true;
  s.unsharp_mask = true;
  s.unsharp_diameter = 6;
  s.unsharp_power = 5;
  s.remove_background = true;
  s.disable_interrupts = false;
  s.fast_par_extended = true;
  s.fits.fits_object = "M42";
  s.fits.fits_telescope = "Newtonian 200";
  s.fits.fits_instrument = "Cam";
  s.fits.fits_observer = "Me";
  s.fits.fits_origin = "Garden";
  s.fits.fits_history_text = std::string(68, 'h') + std::string(68, 'i') + std::string(68, 'j') +
                             std::string(51, 'k');  // 255 characters
  s.fits.fits_comment_text = "Seeing fair";
  s.alt_colour_coefficients = false;
  s.com_port = 2;
  s.guide_training_time = 4;
  s.ra_pixels_per_sec = -7;
  s.dec_pixels_per_sec = 300;
  s.ra_backlash = 20;
  s.dec_backlash = 5;
  s.ignore_small_drift = true;
  s.guide_interface = 'b';
  s.ra_hysteresis = 20;
  s.dec_hysteresis = 3;
  s.drive_directions = {'s', 'n', 'w', 'e'};
  s.beep_after_exposure = true;
  s.direction_change_delay = false;
  s.telescope_link_open = true;
  SetAutosaveSubdir(s, "m42");
  s.dedicated_com_port = false;
  s.debug_mode = true;
  return s;
}

void Put(Bytes& b, size_t offset, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) b[offset + i] = static_cast<unsigned char>(text[i]);
}

std::string Card(std::string_view text) {
  std::string card(text);
  card.resize(80, ' ');
  return card;
}

// The file of Unusual(), written out from the layout table byte by byte.
Bytes UnusualLayout() {
  Bytes b(1181, 0xEE);
  Put(b, 0, "\x40\x9C");  // 40000
  Put(b, 2, "\xFD\xFF");  // -3
  Put(b, 4, "yyny");
  Put(b, 8, std::string("\x02\x00", 2));
  Put(b, 10, std::string("\x0D\x00", 2));
  Put(b, 12, "nyyy");
  Put(b, 16, std::string("\x07\x00", 2));
  Put(b, 18, std::string("\x03\x00", 2));
  Put(b, 20, "r0y");
  Put(b, 23, std::string("\x24\x00", 2));
  Put(b, 25, "yy");
  Put(b, 27, std::string("\x06\x00\x05\x00", 4));
  Put(b, 31, "yny");
  Put(b, 34, Card("OBJECT  = 'M42'"));
  Put(b, 114, Card("TELESCOP= 'Newtonian 200'"));
  Put(b, 194, Card("INSTRUME= 'Cam'"));
  Put(b, 274, Card("OBSERVER= 'Me'"));
  Put(b, 354, Card("ORIGIN  = 'Garden'"));
  Put(b, 434, "HISTORY = '" + std::string(68, 'h') + "'");
  Put(b, 514, "HISTORY = '" + std::string(68, 'i') + "'");
  Put(b, 594, "HISTORY = '" + std::string(68, 'j') + "'");
  Put(b, 674, "HISTORY = '" + std::string(51, 'k') + std::string(17, ' ') + "'");
  Put(b, 754, "COMMENT = 'Seeing fair" + std::string(57, ' ') + "'");
  for (size_t card = 1; card < 4; ++card) Put(b, 754 + 80 * card, "COMMENT = '" + std::string(68, ' ') + "'");
  Put(b, 1074, "n");
  Put(b, 1075, std::string("\x02\x00\x04\x00\xF9\xFF\x2C\x01\x14\x00\x05\x00", 12));
  Put(b, 1087, "1b");
  Put(b, 1089, std::string("\x14\x00\x03\x00", 4));
  Put(b, 1093, "snwe");
  Put(b, 1097, "yny");
  Put(b, 1100, std::string("m42\0", 4) + std::string(75, ' '));
  Put(b, 1179, "ny");
  return b;
}

TEST(SettingsFileTest, LayoutIsByteExact) {
  const Bytes expected = UnusualLayout();
  const auto encoded = EncodeSettings(Unusual());
  ASSERT_EQ(encoded.size(), 1181u);
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_NE(expected[i], 0xEE) << "layout table leaves byte " << i << " unset";
    EXPECT_EQ(encoded[i], expected[i]) << "byte " << i;
  }

  // Defaults: the first-start file, created with its folder and no message.
  test::TempDir dir;
  const Drive drive(dir.path() / "c");
  Settings s;
  RecordingHost host;
  EXPECT_EQ(LoadSettings(s, drive, host), 0);
  EXPECT_TRUE(host.boxes.empty());
  const Bytes file = test::ReadBytes(SettingsPath(drive));
  ASSERT_EQ(file.size(), 1181u);
  struct Field {
    size_t offset;
    std::string bytes;
  };
  const Field defaults[] = {
      {0, std::string("\0\0\0\0nnyn\0\0\x08\0ynnn\x02\0\x01\0l1n\x04\0nn\x03\0\x01\0nyn", 34)},
      {34, Card("OBJECT  = ''")},
      {194, Card("INSTRUME= 'Halvorn CCD'")},
      {434, "HISTORY = '" + std::string(68, ' ') + "'"},
      {1074, std::string("y\x01\0\x01\0\x06\0\x06\0\0\0\0\0"
                         "0n\0\0\0\0nsewnyn\0",
                         27)},
      {1101, std::string(78, ' ') + "yn"},
  };
  for (const Field& f : defaults) {
    EXPECT_EQ(std::string(file.begin() + static_cast<long>(f.offset),
                          file.begin() + static_cast<long>(f.offset + f.bytes.size())),
              f.bytes)
        << "at " << f.offset;
  }
}

TEST(SettingsFileTest, RoundTrip) {
  test::TempDir dir;
  const Drive drive(dir.path());
  const Settings saved = Unusual();
  ASSERT_EQ(SaveSettings(saved, drive), 0);
  EXPECT_EQ(test::ReadBytes(SettingsPath(drive)), UnusualLayout());

  Settings loaded;
  RecordingHost host;
  ASSERT_EQ(LoadSettings(loaded, drive, host), 0);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(EncodeSettings(loaded), EncodeSettings(saved));
  EXPECT_EQ(loaded.autosave_dir, "c:\\AUTOSAVE\\m42");
  EXPECT_EQ(loaded.background_colour, 'r');
  EXPECT_EQ(std::tie(loaded.background_red, loaded.background_green, loaded.background_blue),
            std::make_tuple(uint8_t{120}, uint8_t{40}, uint8_t{40}));
  EXPECT_EQ(loaded.fits.fits_history_text, saved.fits.fits_history_text);
  EXPECT_EQ(loaded.fits.fits_object, "M42");

  // Short texts come back padded with the cards' blanks to 255 characters.
  Settings small;
  small.fits.fits_history_text = "abc";
  small.fits.fits_comment_text = "";
  ASSERT_EQ(SaveSettings(small, drive), 0);
  ASSERT_EQ(LoadSettings(loaded, drive, host), 0);
  EXPECT_EQ(loaded.fits.fits_history_text, "abc" + std::string(252, ' '));
  EXPECT_EQ(loaded.fits.fits_comment_text, std::string(255, ' '));
  EXPECT_EQ(loaded.autosave_subdir, "");
  EXPECT_EQ(loaded.autosave_dir, "c:\\AUTOSAVE");

  // The file is found whatever the case of its name and folder.
  std::filesystem::remove_all(drive.Root() / "autosave");
  std::filesystem::create_directories(drive.Root() / "AUTOSAVE");
  test::WriteBytes(drive.Root() / "AUTOSAVE" / "Nyxel.INI", UnusualLayout());
  Settings upper;
  ASSERT_EQ(LoadSettings(upper, drive, host, "c:\\AUTOSAVE\\NYXEL.ini"), 0);
  EXPECT_EQ(upper.autosave_counter, 40000);
}

TEST(SettingsFileTest, LoadRules) {
  // The file holds Unusual(); memory starts at the defaults. A patch makes one field special.
  struct Case {
    const char* name;
    size_t offset;
    std::string patch;
    bool rewrite;
    std::vector<std::string> boxes;
    std::function<void(const Settings&)> check;
  };
  const Settings defaults;
  const Case cases[] = {
      {"saturation 0 becomes 3",
       16,
       std::string("\0\0", 2),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.saturation_factor, 3); }},
      {"saturation 10 becomes 3",
       16,
       std::string("\x0A\0", 2),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.saturation_factor, 3); }},
      {"saturation 9 kept",
       16,
       std::string("\x09\0", 2),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.saturation_factor, 9); }},
      {"user stretch 37 rewrites before the later fields",
       23,
       std::string("\x25\0", 2),
       true,
       {},
       [&](const Settings& s) {
         EXPECT_EQ(s.user_stretch_value, defaults.user_stretch_value);
         EXPECT_TRUE(s.user_stretch);  // read before it
         EXPECT_EQ(s.dec_pixels_per_sec, defaults.dec_pixels_per_sec);
         EXPECT_EQ(s.fits.fits_object, defaults.fits.fits_object);
       }},
      {"user stretch 0 rewrites", 23, std::string("\0\0", 2), true, {}, nullptr},
      {"unsharp diameter 7 rewrites", 27, std::string("\x07\0", 2), true, {}, nullptr},
      {"unsharp power 0 rewrites", 29, std::string("\0\0", 2), true, {}, nullptr},
      {"ra backlash 21 rewrites",
       1083,
       std::string("\x15\0", 2),
       true,
       {},
       [&](const Settings& s) { EXPECT_EQ(s.ra_backlash, defaults.ra_backlash); }},
      {"dec backlash 21 rewrites",
       1085,
       std::string("\x15\0", 2),
       true,
       {},
       [&](const Settings& s) {
         EXPECT_EQ(s.dec_backlash, defaults.dec_backlash);
         EXPECT_EQ(s.ra_backlash, 20);
         EXPECT_EQ(s.guide_interface, defaults.guide_interface);
       }},
      {"dec backlash -1 rewrites", 1085, "\xFF\xFF", true, {}, nullptr},
      {"strict high pass", 25, "Y", true, {}, nullptr},
      {"strict disable interrupts", 32, "1", true, {}, nullptr},
      {"strict ignore drift", 1087, "y", true, {}, nullptr},
      {"strict guide interface", 1088, "x", true, {}, nullptr},
      {"background letter",
       20,
       "G",
       true,
       {},
       [&](const Settings& s) { EXPECT_EQ(s.background_colour, 'l'); }},
      {"background grey",
       20,
       "g",
       false,
       {},
       [](const Settings& s) {
         EXPECT_EQ(s.background_colour, 'g');
         EXPECT_EQ(s.background_red + s.background_green + s.background_blue, 270);
       }},
      {"reserved a out of range", 8, std::string("\x04\0", 2), true, {}, nullptr},
      {"reserved b out of range", 18, std::string("\0\0", 2), true, {}, nullptr},
      {"directions without e or w",
       1093,
       "nsxy",
       true,
       {},
       [&](const Settings& s) { EXPECT_EQ(s.drive_directions, defaults.drive_directions); }},
      {"directions with one of e or w",
       1093,
       "snxw",
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(std::string(s.drive_directions.data(), 4), "snxw"); }},
      {"fast_par other byte warns and goes on",
       7,
       "?",
       false,
       {"TESSARON|Failed to read fast_par value"},
       [](const Settings& s) {
         EXPECT_FALSE(s.fast_par);
         EXPECT_TRUE(s.debug_mode);  // the last field was still read
       }},
      {"loose y/n and 1/0",
       4,
       "Y",
       false,
       {},
       [](const Settings& s) { EXPECT_FALSE(s.light_pollution_correction); }},
      {"focus delay other byte is false",
       21,
       "y",
       false,
       {},
       [](const Settings& s) { EXPECT_FALSE(s.focus_delay); }},
      {"com port other number is port 2",
       1075,
       std::string("\x05\0", 2),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.com_port, 2); }},
      {"com port 1",
       1075,
       std::string("\x01\0", 2),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.com_port, 1); }},
      {"quote ends the sub-folder",
       1100,
       "ab'cd",
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.autosave_dir, "c:\\AUTOSAVE\\ab"); }},
      {"quote in the first byte stays",
       1100,
       "'x'y",
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.autosave_subdir, "'x"); }},
      {"sub-folder without a zero byte",
       1100,
       std::string(79, 'd'),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.autosave_subdir, std::string(79, 'd')); }},
      {"text card value ends at the first quote",
       34,
       "OBJECT  = 'A'B'",
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.fits.fits_object, "A"); }},
      {"text card without a closing quote",
       34,
       Card("OBJECT  = 'Orion"),
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.fits.fits_object, "Orion"); }},
      {"quote inside a split card ends its piece",
       754 + 11,
       "ab'",
       false,
       {},
       [](const Settings& s) { EXPECT_EQ(s.fits.fits_comment_text, "ab" + std::string(68 * 2 + 51, ' ')); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const Drive drive(dir.path());
    std::filesystem::create_directories(dir.path() / "autosave");
    Bytes file = UnusualLayout();
    Put(file, c.offset, c.patch);
    test::WriteBytes(SettingsPath(drive), file);

    Settings s;
    RecordingHost host;
    EXPECT_EQ(LoadSettings(s, drive, host), 0);
    std::vector<std::string> boxes;
    for (const auto& box : host.boxes) boxes.push_back(box.caption + "|" + box.text);
    EXPECT_EQ(boxes, c.boxes);
    const Bytes after = test::ReadBytes(SettingsPath(drive));
    if (c.rewrite) {
      // Rewritten from memory: the invalid value was not taken, later fields keep their old values.
      const auto encoded = EncodeSettings(s);
      EXPECT_EQ(after, Bytes(encoded.begin(), encoded.end()));
      EXPECT_NE(after, file);
    } else {
      EXPECT_EQ(after, file);
    }
    if (c.check) c.check(s);
  }
}

TEST(SettingsFileTest, MissingOrShortFileWarnsAndKeepsTheRest) {
  const std::string warning = "Warning!\nNo INI file found, please set defaults...";
  // Lengths cut inside the numbers, inside the text cards, and one byte before the end.
  for (size_t length : {0u, 1u, 33u, 100u, 433u, 1099u, 1180u}) {
    SCOPED_TRACE(length);
    test::TempDir dir;
    const Drive drive(dir.path());
    std::filesystem::create_directories(dir.path() / "autosave");
    Bytes file = UnusualLayout();
    file.resize(length);
    test::WriteBytes(SettingsPath(drive), file);

    Settings s;
    RecordingHost host;
    EXPECT_EQ(LoadSettings(s, drive, host), 2);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, warning);
    EXPECT_EQ(host.boxes[0].caption, "");
    EXPECT_EQ(test::ReadBytes(SettingsPath(drive)), file) << "a short file is not rewritten";
    // Whole fields before the cut are taken, the rest keep their values.
    EXPECT_EQ(s.autosave_counter, length >= 2 ? 40000 : 0);
    EXPECT_EQ(s.fits.fits_object, length >= 114 ? "M42" : "");
    EXPECT_EQ(s.ra_backlash, length >= 1085 ? 20 : 0);
    EXPECT_EQ(s.debug_mode, false);
    if (length == 100) {
      EXPECT_TRUE(s.disable_interrupts == false && s.unsharp_power == 5);
    }
  }

  // The folder without the file: the warning, and nothing is written.
  test::TempDir dir;
  const Drive drive(dir.path());
  std::filesystem::create_directories(dir.path() / "autosave");
  Settings s = Unusual();
  RecordingHost host;
  EXPECT_EQ(LoadSettings(s, drive, host), 2);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{warning});
  EXPECT_FALSE(std::filesystem::exists(SettingsPath(drive)));
  EXPECT_EQ(EncodeSettings(s), EncodeSettings(Unusual()));
}

TEST(SettingsFileTest, FailedSaveKeepsThePreviousFile) {
  test::TempDir dir;
  const Drive drive(dir.path());
  ASSERT_EQ(SaveSettings(Unusual(), drive), 0);
  const Bytes before = test::ReadBytes(SettingsPath(drive));

  // Every point at which the write can come up short.
  for (long long limit : {0LL, 1LL, 433LL, 1180LL}) {
    SetAtomicWriteLimitForTesting(limit);
    EXPECT_EQ(SaveSettings(Settings{}, drive), 3) << limit;
    SetAtomicWriteLimitForTesting(-1);
    EXPECT_EQ(test::ReadBytes(SettingsPath(drive)), before);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "autosave"),
                          std::filesystem::directory_iterator{}),
            1)
      << "no temporary file is left behind";

  // A rewrite that fails gives 3 and keeps the file as it was.
  Bytes bad = before;
  Put(bad, 1085, std::string("\x15\0", 2));
  test::WriteBytes(SettingsPath(drive), bad);
  Settings s;
  RecordingHost host;
  SetAtomicWriteLimitForTesting(10);
  EXPECT_EQ(LoadSettings(s, drive, host), 3);
  SetAtomicWriteLimitForTesting(-1);
  EXPECT_EQ(test::ReadBytes(SettingsPath(drive)), bad);

  // The folder cannot be made: its place is taken by a file.
  test::TempDir other;
  test::WriteBytes(other.path() / "autosave", {'x'});
  EXPECT_EQ(SaveSettings(Settings{}, Drive(other.path())), 3);
}

// A scratch folder in memory where the machine has one: most garbage files are rewritten, and every
// save is flushed to the disk.
class MemoryDir {
 public:
  MemoryDir() {
    std::error_code ec;
    std::string pattern = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                              ? "/dev/shm/nyxel-test-XXXXXX"
                              : (std::filesystem::temp_directory_path() / "nyxel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~MemoryDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

TEST(SettingsFileTest, GarbageNeverCrashesOrLoadsInvalidValues) {
  MemoryDir dir;
  ASSERT_FALSE(dir.path().empty());
  const Drive drive(dir.path());
  std::filesystem::create_directories(dir.path() / "autosave");
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t length = 0; length <= 1300; ++length) {
    Bytes file(length);
    for (auto& b : file) b = static_cast<unsigned char>(byte(random));
    // Every fifth file keeps a valid beginning so the loader gets deep into the record.
    if (length % 5 == 0) {
      const Bytes good = UnusualLayout();
      std::copy(good.begin(), good.begin() + static_cast<long>(std::min<size_t>(length, 1000)), file.begin());
    }
    test::WriteBytes(SettingsPath(drive), file);
    Settings s;
    RecordingHost host;
    const int result = LoadSettings(s, drive, host);
    ASSERT_TRUE(result == 0 || result == 2) << length;
    EXPECT_TRUE(s.saturation_factor >= 1 && s.saturation_factor <= 9);
    EXPECT_TRUE(s.user_stretch_value >= 1 && s.user_stretch_value <= 36);
    EXPECT_TRUE(s.unsharp_diameter >= 1 && s.unsharp_diameter <= 6);
    EXPECT_TRUE(s.dec_backlash >= 0 && s.dec_backlash <= 20);
    EXPECT_NE(std::string("nlb").find(s.guide_interface), std::string::npos);
    EXPECT_NE(std::string("lgr").find(s.background_colour), std::string::npos);
    EXPECT_TRUE(s.com_port == 1 || s.com_port == 2);
    EXPECT_LE(s.fits.fits_history_text.size(), 255u);
    EXPECT_LE(s.fits.fits_object.size(), 68u);
    EXPECT_LE(s.autosave_subdir.size(), 79u);
    // A rewritten file is valid: loading it again reads it whole and leaves it alone.
    const Bytes after = test::ReadBytes(SettingsPath(drive));
    if (result == 0 && after != file) {
      Settings again;
      RecordingHost quiet;
      EXPECT_EQ(LoadSettings(again, drive, quiet), 0) << length;
      EXPECT_TRUE(quiet.boxes.empty());
      EXPECT_EQ(test::ReadBytes(SettingsPath(drive)), after) << length;
    }
  }
}

}  // namespace
}  // namespace nyxel
