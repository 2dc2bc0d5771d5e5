#pragma once
#include <algorithm>
#include <string_view>

// Case folding of file names, extensions and layout names. Only A-Z fold: these texts
// must compare the same whatever locale the program runs in.
constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}
