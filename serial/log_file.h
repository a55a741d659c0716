#pragma once

#include <string>
#include <string_view>

namespace qzr {

// The log file "loog.txt" in the working directory: entries are appended, each
// a time stamp followed by the caller's text; nothing is added after the text,
// and every line feed is stored as carriage return plus line feed, as a text
// file on the console's home platform. The file is opened and closed per entry
// so that other programs can read it at any time. Failures are silent.
inline constexpr const char* kLogFileName = "loog.txt";

// `stamp` is the local time as "%Y-%m-%d %H:%M:%S  ".
void AppendLogEntry(const std::string& path, std::string_view stamp, std::string_view text);

}  // namespace qzr
