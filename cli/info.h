// vramoria-convert --info: a picture's state as text, or with --json as one JSON object a line.
#pragma once

#include <string>

#include "image/picture.h"

// --info's text for the picture named name, appended to *text.
void FormatInfo(const std::string& name, const Picture& picture, bool json, std::string* text,
                bool modeByContent = false);
