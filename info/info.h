// A picture's state in words, as vramoria-convert's --info prints it (aligned text, or with
// --json one JSON object a line), and the names it shows files and palette slots by.
#pragma once

#include <cstdint>
#include <string>

#include "image/picture.h"

// --info's text for the picture named name, appended to *text.
void FormatInfo(const std::string& name, const Picture& picture, bool json, std::string* text,
                bool modeByContent = false);

// Shows a name in a message or in --info text: control characters escaped as ls -b does
// ("\n", "\033"), so that a name cannot break a line or drive the terminal.
std::string PrintableName(const std::string& name);

// A palette slot in --palette's words: "standard", "internal", or the file palette "0"-"7".
std::string SlotName(int32_t slot);
