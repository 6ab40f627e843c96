#pragma once
// The control-bar pictures by bitmap id, drawn by the program itself (no image files to install).
#include <QIcon>

namespace nyxel {

QIcon ToolIcon(int bitmap_id);

}  // namespace nyxel
