#include "platform/command_line.h"

#include <cstdlib>
#include <string_view>

namespace {

// Bytes compare unsigned: UTF-8 bytes of a file name are characters, not separators.
bool isSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

void skipBlanks(std::string_view& rest) {
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
}

}  // namespace

std::string rawCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i] != nullptr ? argv[i] : "";
        bool needsQuotes = false;
        for (char c : argument) needsQuotes = needsQuotes || isSeparator(c);
        // The line has no escape for a double quote: inside quotes, or at the start of
        // an argument, one would end or open a quoted argument and swallow its
        // neighbours, so there the quote characters are dropped.
        if (needsQuotes || argument.starts_with('"')) std::erase(argument, '"');
        if (i > 0) line.push_back(' ');
        if (needsQuotes) line += '"' + argument + '"';
        else line += argument;
    }
    return line;
}

int parseCommandLine(const std::string& line, int maximum, std::vector<std::string>& files) {
    files.clear();
    // The line is a C string: it ends at its first terminator.
    std::string_view rest(line.c_str());

    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) return 0;
        rest.remove_prefix(close + 1);
    } else {
        while (!rest.empty() && !isSeparator(rest.front())) rest.remove_prefix(1);
    }
    skipBlanks(rest);

    int count = 0;
    while (!rest.empty()) {
        std::string_view argument;
        if (rest.front() == '"') {
            rest.remove_prefix(1);
            const std::size_t close = rest.find('"');
            argument = rest.substr(0, close);
            rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
        } else {
            std::size_t end = 0;
            while (end < rest.size() && !isSeparator(rest[end])) ++end;
            argument = rest.substr(0, end);
            // The separator that ends the argument goes with it.
            rest.remove_prefix(end < rest.size() ? end + 1 : end);
        }

        if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
            const std::string name(argument.substr(0, equals));
            const std::string value(argument.substr(equals + 1));
            // An empty name is refused by setenv; the argument is then simply dropped.
            setenv(name.c_str(), value.c_str(), 1);
        } else {
            if (count < maximum) files.emplace_back(argument);
            ++count;
        }
        skipBlanks(rest);
    }
    return count;
}
