#pragma once
// The control-bar pictures, drawn by the program itself, by bitmap id.
#include <QIcon>

namespace nyxel {

QIcon ToolIcon(int bitmap_id);

}  // namespace nyxel
