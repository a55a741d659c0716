#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qzr {

// The workstation's small per-user store beside the console: the values "key"
// (the factory marker) and "Count" (the setting counter) under "qzr\no". The
// window classes see only this; the executable hands them the real store
// (qt/qsettings_store.h), tests a store in a place of their own.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The text of a value; nullopt when the store or the value is missing or
    // cannot be read.
    virtual std::optional<std::string> Read(std::string_view name) const = 0;
    // Writes a value, making the store first where it is missing; false when
    // it could not be written.
    virtual bool Write(std::string_view name, std::string_view text) = 0;
};

}  // namespace qzr
