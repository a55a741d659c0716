#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace headless {

// Script text escapes: \r \n \t \\ and \xHH (one byte of two hexadecimal digits).

// Resolves the escapes of a script argument. A backslash before any other
// character is kept as it stands; a \x without two hexadecimal digits is
// refused (nullopt).
std::optional<std::string> UnescapeArgument(std::string_view text);

// Makes one line of output: valid UTF-8 passes unchanged; a backslash, control
// characters and bytes that are not part of valid UTF-8 are written as escapes,
// so that every event stays on one line and the output is valid UTF-8.
std::string EscapeForOutput(std::string_view text);

}  // namespace headless
