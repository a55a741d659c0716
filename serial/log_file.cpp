#include "serial/log_file.h"

#include <cstdio>

namespace qzr {

void AppendLogEntry(const std::string& path, std::string_view stamp, std::string_view text)
{
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file)
        return;
    std::string entry;
    entry.reserve(stamp.size() + text.size() + 8);
    for (std::string_view part : {stamp, text}) {
        for (char c : part) {
            if (c == '\n')
                entry.push_back('\r');
            entry.push_back(c);
        }
    }
    std::fwrite(entry.data(), 1, entry.size(), file);
    std::fclose(file);
}

}  // namespace qzr
