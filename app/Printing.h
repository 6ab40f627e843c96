#pragma once
// Printing the display bitmap file, scaled to the printable page.
#include <QString>

class QPrinter;

namespace nyxel {

// Draws the bitmap file as large as the page allows, keeping its proportions. False when the file
// cannot be read or the printer cannot start.
bool PrintBitmapFile(QPrinter& printer, const QString& bitmap_file);

}  // namespace nyxel
