#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Points the user's settings (FOLDER/user/domecast/domecast.conf) and the machine's
// (FOLDER/machine/domecast/domecast.conf) into a folder, with no installed defaults,
// while it lives, then restores the environment as it was.
class ScopedSettings {
public:
    explicit ScopedSettings(const std::string& folder);
    ~ScopedSettings();
    ScopedSettings(const ScopedSettings&) = delete;
    ScopedSettings& operator=(const ScopedSettings&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
