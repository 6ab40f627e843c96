#pragma once
// What the engine asks of the platform: message boxes, beeps, the busy cursor, the progress window,
// the window caption, showing a freshly written bitmap, and keeping the window alive in long loops.
#include <filesystem>
#include <string>
#include <string_view>

namespace nyxel {

enum class MessageIcon { None, Stop, Information, Warning, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
// Message-box results, numbered as the original platform numbers them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class Host {
 public:
  virtual ~Host() = default;

  // Application-modal box; returns which button closed it (kIdOk, ...).
  virtual int MessageBox(std::string_view text, std::string_view caption,
                         MessageIcon icon = MessageIcon::None,
                         MessageButtons buttons = MessageButtons::Ok) = 0;
  // kind 0 is the default sound; other values name the platform's sounds (-1 the simple beep).
  virtual void Beep(int kind = 0) = 0;
  virtual void SetBusyCursor(bool busy) = 0;

  // The modeless "Filter Progress" window. Positions are percent; the window clamps to 0..100.
  virtual void ProgressOpen(std::string_view caption) = 0;
  virtual void ProgressSetCaption(std::string_view caption) = 0;
  virtual void ProgressSetPosition(int percent) = 0;
  virtual void ProgressClose() = 0;

  // Takes and dispatches waiting window events; true when a key press or mouse click asks to abort.
  virtual bool PumpMessages() = 0;
  // True once the user has closed the window of the run under way: from then on PumpMessages reports an
  // abort until the run ends, and a countdown, which a key press only shortens, stops as well.
  virtual bool StopRequested() const { return false; }

  // The frame caption ("Nyxel - name").
  virtual void SetCaption(std::string_view caption) = 0;
  // The window half of a display refresh: load this bitmap file, realise its palette, reset the
  // scroller and paint. Returns false when the file could not be read (message 32 is the host's).
  virtual bool ShowBitmap(const std::filesystem::path& bitmap_file) = 0;
};

// Shows the hourglass for as long as it lives.
class BusyCursor {
 public:
  explicit BusyCursor(Host& host) : host_(host) { host_.SetBusyCursor(true); }
  ~BusyCursor() { host_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Host& host_;
};

}  // namespace nyxel
