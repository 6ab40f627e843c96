#pragma once
// The numbered message table and ShowMessage.
#include <string>
#include <string_view>

#include "core/Host.h"

namespace nyxel {

inline constexpr int kMessageBufferBytes = 500;
inline constexpr int kOwnTextMessage = 50;   // carries the caller's own text
inline constexpr int kOwnTextLimit = 498;    // characters of it that are shown
inline constexpr std::string_view kMessageCaption = "Nyxel";

// The table's text for `number` ("" for numbers without one); for 50 the caller's text cut to 498.
std::string MessageText(int number, std::string_view text = {});

// Shows the text in an OK box captioned "Nyxel" with no icon; returns the box's result.
int ShowMessage(Host& host, int number, std::string_view text = {});

}  // namespace nyxel
