#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _GKeyFile;

// One settings file held in memory as GLib's keyfile parser reads it, comments and all;
// the values live in the [Domecast] group.
class SettingsKeyFile {
public:
    enum class Load { ok, missing, failed };

    // The most of a file that is read; what follows is ignored.
    static constexpr std::size_t fileLimit = 4 << 20;
    // The longest line kept: far beyond any setting (a value holds at most 259 bytes) or
    // any comment written by hand.
    static constexpr std::size_t lineLimit = 64 << 10;

    SettingsKeyFile();
    ~SettingsKeyFile();
    SettingsKeyFile(const SettingsKeyFile&) = delete;
    SettingsKeyFile& operator=(const SettingsKeyFile&) = delete;

    // Reads path: missing when there is no such file, failed when it cannot be read or is
    // not a regular file (reason() says which). A file of lines the keyfile syntax does not
    // allow (a line that is no value, group or comment, a value outside any group, a line
    // longer than lineLimit) loads with those lines left out, each named in problems(),
    // as are the lines beyond fileLimit; every other value is kept.
    Load load(const std::string& path);
    Load parse(std::string_view contents);
    const std::string& reason() const { return reason_; }
    // What was left out, one sentence each naming the line ("line 3 is not a value, a
    // [group] or a # comment"); empty when the whole file was read.
    const std::vector<std::string>& problems() const { return problems_; }

    // A value of that name, as that type; nothing when absent or not of the type.
    std::optional<std::string> string(const char* name) const;
    std::optional<std::uint32_t> number(const char* name) const;
    std::optional<bool> boolean(const char* name) const;

    // Each returns true when the file's text of the value changed.
    bool setString(const char* name, const std::string& value);
    bool setNumber(const char* name, std::uint32_t value);
    bool setBoolean(const char* name, bool value);
    bool remove(const char* name);
    // The comment above the file's first group, for a file made new.
    void setHeader(const std::string& comment);

    std::string text() const;

private:
    std::optional<std::string> raw(const char* name) const;

    std::unique_ptr<_GKeyFile, void (*)(_GKeyFile*)> file_;
    std::string reason_;
    std::vector<std::string> problems_;
};

// A name the keyfile syntax can hold as a key: not empty, no line break, "=", "[" or
// "]", no blank at either end.
bool validSettingName(std::string_view name);

// The comment a settings file made new starts with.
inline constexpr char settingsFileHeader[] =
    " Domecast settings, in the Domecast group: strings as written, numbers decimal,\n"
    " booleans true or false. The Preferences dialog and the program rewrite this file,\n"
    " keeping comments. See the manual's Settings page for every name.";
