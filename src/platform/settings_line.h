#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One value line of an older settings file, in the registry-export style:
//   "PaintApp"="/usr/bin/gimp"          a string (backslash and quote escaped)
//   "shiftAmount"=dword:0000002d        a 32-bit number
// A line naming a value of any other type ("x"=hex:..., "x"=-) parses with type other.
struct SettingLine {
    enum class Type { string, number, other };

    std::string name;
    Type type = Type::other;
    std::string text;          // the unescaped string, for Type::string
    std::uint32_t number = 0;  // for Type::number
};

// The value a line holds, or nothing for a line that names no value (blank lines, key
// headers, comments, garbage).
std::optional<SettingLine> parseSettingLine(std::string_view line);

std::string formatStringSetting(std::string_view name, std::string_view text);
std::string formatNumberSetting(std::string_view name, std::uint32_t number);

// Value names in those files compare without case of ASCII letters.
bool sameSettingName(std::string_view a, std::string_view b);
