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

}  // namespace nyxel
