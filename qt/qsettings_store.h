#pragma once

#include "config/settings_store.h"

namespace qzr {

// The settings on QSettings, organisation "qzr", application "no": on Linux
// the INI file $XDG_CONFIG_HOME/qzr/no.conf (~/.config by default), values in
// its [General] section; on Windows the registry key HKEY_CURRENT_USER\qzr\no
// with string values. Each call opens the store afresh, so a value another
// program changed meanwhile is read as it now is.
class CQSettingsStore final : public ISettingsStore {
public:
    std::optional<std::string> Read(std::string_view name) const override;
    bool Write(std::string_view name, std::string_view text) override;
};

}  // namespace qzr
