#pragma once

#include <string>

namespace ui {

// printf-style formatting into a string, for the texts windows show.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ui
