// The string table compiled into the code (UTF-8), for where no resource can be loaded.
#pragma once

#include <cstdint>

// Text of string id 1-10, nullptr for any other id.
const char* MessageTextUtf8(int32_t id);
