#include "platform/settings_line.h"

#include <cstdio>

#include "platform/ascii.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = asciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted, escaped string at the front of rest and consumes it.
std::optional<std::string> takeQuoted(std::string_view& rest) {
    if (rest.empty() || rest.front() != '"') return std::nullopt;
    std::string text;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return text;
        }
        // Only \\ and \" are escapes; any other backslash, as people type paths by hand,
        // stands for itself.
        if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '\\' || rest[i + 1] == '"')) ++i;
        text.push_back(rest[i]);
    }
    return std::nullopt;
}

// prefix is lower case.
bool takePrefix(std::string_view& rest, std::string_view prefix) {
    if (!startsWithIgnoringAsciiCase(rest, prefix)) return false;
    rest.remove_prefix(prefix.size());
    return true;
}

void trimBlanks(std::string_view& text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace

std::optional<SettingLine> parseSettingLine(std::string_view rest) {
    // A byte-order mark may open a file written by another editor.
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    trimBlanks(rest);
    std::optional<std::string> name = takeQuoted(rest);
    if (!name || rest.empty() || rest.front() != '=') return std::nullopt;
    rest.remove_prefix(1);

    SettingLine line;
    line.name = std::move(*name);
    if (!rest.empty() && rest.front() == '"') {
        std::optional<std::string> text = takeQuoted(rest);
        if (!text || !rest.empty()) return std::nullopt;
        line.type = SettingLine::Type::string;
        line.text = std::move(*text);
    } else if (takePrefix(rest, "dword:")) {
        // Eight hex digits as exported; fewer are accepted as typed by hand.
        if (rest.empty() || rest.size() > 8) return std::nullopt;
        std::uint32_t number = 0;
        for (char c : rest) {
            const int digit = hexDigit(c);
            if (digit < 0) return std::nullopt;
            number = number << 4 | static_cast<std::uint32_t>(digit);
        }
        line.type = SettingLine::Type::number;
        line.number = number;
    } else if (rest.empty()) {
        return std::nullopt;
    }
    return line;
}

std::string formatStringSetting(std::string_view name, std::string_view text) {
    return quoted(name) + "=" + quoted(text);
}

std::string formatNumberSetting(std::string_view name, std::uint32_t number) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    return quoted(name) + "=dword:" + digits;
}

bool sameSettingName(std::string_view a, std::string_view b) { return equalIgnoringAsciiCase(a, b); }
