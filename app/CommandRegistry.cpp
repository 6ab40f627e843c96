#include "app/CommandRegistry.h"

namespace nyxel {
namespace {
std::map<int, CommandHandler>& Registry() {
  static std::map<int, CommandHandler> handlers;
  return handlers;
}
}  // namespace

const std::map<int, CommandHandler>& CommandHandlers() {
  return Registry();
}

const CommandHandler* FindCommandHandler(int id) {
  const auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : &it->second;
}

RegisterCommand::RegisterCommand(int id, CommandHandler handler) {
  Registry()[id] = std::move(handler);
}

ScopedCommandHandler::ScopedCommandHandler(int id, CommandHandler handler)
    : id_(id), had_previous_(Registry().count(id) != 0) {
  if (had_previous_) previous_ = Registry()[id];
  Registry()[id] = std::move(handler);
}

ScopedCommandHandler::~ScopedCommandHandler() {
  if (had_previous_) {
    Registry()[id_] = std::move(previous_);
  } else {
    Registry().erase(id_);
  }
}

}  // namespace nyxel
