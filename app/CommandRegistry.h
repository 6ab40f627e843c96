#pragma once
// Command handlers by command id. The command table (texts, menus, shortcuts, buttons, hints) lists every
// id; a command is enabled only while a handler is registered for it and its enabler agrees. Features
// register their handlers from their own files:
//
//   static const RegisterCommand kUndo{9, {[](TNyxelWindow& w) { ... }}};
#include <functional>
#include <map>
#include <utility>

namespace nyxel {

class TNyxelWindow;

struct CommandHandler {
  CommandHandler() = default;
  // {run}, {run, enabled} or {run, enabled, checked}.
  CommandHandler(std::function<void(TNyxelWindow&)> run_, std::function<bool(TNyxelWindow&)> enabled_ = {},
                 std::function<bool(TNyxelWindow&)> checked_ = {})
      : run(std::move(run_)), enabled(std::move(enabled_)), checked(std::move(checked_)) {}

  std::function<void(TNyxelWindow&)> run;
  std::function<bool(TNyxelWindow&)> enabled;  // empty: always enabled
  std::function<bool(TNyxelWindow&)> checked;  // empty: never checked
};

// All registered handlers, by command id.
const std::map<int, CommandHandler>& CommandHandlers();
const CommandHandler* FindCommandHandler(int id);

struct RegisterCommand {
  RegisterCommand(int id, CommandHandler handler);
};

// Puts a handler in place of the registered one (or none) for as long as it lives; tests use it to see
// which id a key or button reaches.
class ScopedCommandHandler {
 public:
  ScopedCommandHandler(int id, CommandHandler handler);
  ~ScopedCommandHandler();
  ScopedCommandHandler(const ScopedCommandHandler&) = delete;
  ScopedCommandHandler& operator=(const ScopedCommandHandler&) = delete;

 private:
  int id_;
  bool had_previous_;
  CommandHandler previous_;
};

}  // namespace nyxel
