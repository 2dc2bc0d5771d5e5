#include "platform/settings_keyfile.h"

#include <glib.h>

#include <charconv>

#include "platform/file_contents.h"
#include "platform/settings.h"

namespace {

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

struct TextFree {
    void operator()(gchar* text) const { g_free(text); }
};
using TextPtr = std::unique_ptr<gchar, TextFree>;

using KeyFilePtr = std::unique_ptr<GKeyFile, void (*)(GKeyFile*)>;

constexpr GKeyFileFlags keepEverything = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

bool loads(GKeyFile* file, std::string_view text) {
    return g_key_file_load_from_data(file, text.data(), text.size(), keepEverything, nullptr) != FALSE;
}

// What one line of a keyfile is, as GLib's parser judges it on its own.
enum class LineKind { other, group, key, invalid };

LineKind kindOf(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) return LineKind::invalid;
    const KeyFilePtr alone(g_key_file_new(), g_key_file_free);
    if (loads(alone.get(), line)) {
        gsize groups = 0;
        g_strfreev(g_key_file_get_groups(alone.get(), &groups));
        return groups > 0 ? LineKind::group : LineKind::other;
    }
    const KeyFilePtr inGroup(g_key_file_new(), g_key_file_free);
    return loads(inGroup.get(), "[g]\n" + std::string(line)) ? LineKind::key : LineKind::invalid;
}

// The lines left out that are named one by one; a file of nothing but garbage is summed up
// after them.
constexpr std::size_t namedProblems = 20;

// The text with only the lines the keyfile syntax allows where they stand, in order;
// problems gets a sentence for each line left out.
std::string usableLines(std::string_view contents, std::vector<std::string>& problems) {
    std::string kept;
    bool inGroup = false;
    std::size_t number = 0;
    std::size_t unnamed = 0;
    const auto leftOut = [&](std::string sentence) {
        if (problems.size() < namedProblems)
            problems.push_back(std::move(sentence));
        else
            ++unnamed;
    };
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        const std::string_view line = contents.substr(0, end);
        contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
        const std::string where = "line " + std::to_string(++number);
        if (line.size() > SettingsKeyFile::lineLimit) {
            leftOut(where + " is longer than " + std::to_string(SettingsKeyFile::lineLimit >> 10) +
                               " KiB and is ignored");
            continue;
        }
        switch (kindOf(line)) {
        case LineKind::group: inGroup = true; break;
        case LineKind::other: break;
        case LineKind::key:
            if (inGroup) break;
            leftOut(where + " is a value outside any [group] and is ignored");
            continue;
        case LineKind::invalid:
            // The values after a broken group line belong to no group this file names.
            if (line.find_first_not_of(" \t") != std::string_view::npos && line[line.find_first_not_of(" \t")] == '[')
                inGroup = false;
            leftOut(where + " is not a value, a [group] or a # comment and is ignored");
            continue;
        }
        kept.append(line);
        kept += '\n';
    }
    if (unnamed > 0) problems.push_back(std::to_string(unnamed) + " more lines that cannot be used are ignored");
    return kept;
}

}  // namespace

bool validSettingName(std::string_view name) {
    if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
        return false;
    return name.find_first_of("\r\n=[]") == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

SettingsKeyFile::SettingsKeyFile() : file_(g_key_file_new(), g_key_file_free) {}

SettingsKeyFile::~SettingsKeyFile() = default;

SettingsKeyFile::Load SettingsKeyFile::load(const std::string& path) {
    std::string contents;
    bool cut = false;
    switch (readFileStart(path, fileLimit, contents, cut)) {
    case FileRead::missing: return Load::missing;
    case FileRead::failed: reason_ = "not a readable file"; return Load::failed;
    case FileRead::ok: break;
    }
    std::size_t lines = 0;
    if (cut) {
        // The line the limit falls in is not whole: it goes with the rest.
        const std::size_t lastEnd = contents.rfind('\n');
        contents.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        for (const char c : contents) lines += c == '\n';
    }
    const Load loaded = parse(contents);
    if (cut && loaded == Load::ok)
        problems_.push_back("the file is larger than " + std::to_string(fileLimit >> 20) + " MiB: line " +
                            std::to_string(lines + 1) + " and every line after it are ignored");
    return loaded;
}

SettingsKeyFile::Load SettingsKeyFile::parse(std::string_view contents) {
    problems_.clear();
    bool longLine = false;
    for (std::size_t start = 0; start < contents.size() && !longLine;) {
        const std::size_t end = std::min(contents.find('\n', start), contents.size());
        longLine = end - start > lineLimit;
        start = end + 1;
    }
    if (!longLine && loads(file_.get(), contents)) return Load::ok;
    // Every line GLib would take, without those it refuses: one wrong line must not hide
    // the file's other values.
    file_.reset(g_key_file_new());
    GError* error = nullptr;
    const std::string usable = usableLines(contents, problems_);
    if (!g_key_file_load_from_data(file_.get(), usable.data(), usable.size(), keepEverything, &error)) {
        const ErrorPtr owned(error);
        reason_ = owned ? owned->message : "not a keyfile";
        file_.reset(g_key_file_new());
        return Load::failed;
    }
    return Load::ok;
}

std::optional<std::string> SettingsKeyFile::raw(const char* name) const {
    if (name == nullptr || !validSettingName(name)) return std::nullopt;
    const TextPtr value(g_key_file_get_value(file_.get(), settingsGroup, name, nullptr));
    if (!value) return std::nullopt;
    return std::string(value.get());
}

std::optional<std::string> SettingsKeyFile::string(const char* name) const {
    if (name == nullptr || !validSettingName(name)) return std::nullopt;
    // Unescapes \n, \t, \\ and \s; a value that is not UTF-8 is refused.
    const TextPtr value(g_key_file_get_string(file_.get(), settingsGroup, name, nullptr));
    if (!value) return std::nullopt;
    return std::string(value.get());
}

std::optional<std::uint32_t> SettingsKeyFile::number(const char* name) const {
    const std::optional<std::string> text = raw(name);
    if (!text || text->empty()) return std::nullopt;
    std::uint32_t number = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number, 10);
    if (error != std::errc() || stop != end) return std::nullopt;
    return number;
}

std::optional<bool> SettingsKeyFile::boolean(const char* name) const {
    const std::optional<std::string> text = raw(name);
    if (text == "true" || text == "1") return true;
    if (text == "false" || text == "0") return false;
    return std::nullopt;
}

bool SettingsKeyFile::setString(const char* name, const std::string& value) {
    if (name == nullptr || !validSettingName(name) || !g_utf8_validate(value.data(), -1, nullptr)) return false;
    const std::optional<std::string> before = raw(name);
    g_key_file_set_string(file_.get(), settingsGroup, name, value.c_str());
    return raw(name) != before;
}

bool SettingsKeyFile::setNumber(const char* name, std::uint32_t value) {
    if (name == nullptr || !validSettingName(name)) return false;
    const std::optional<std::string> before = raw(name);
    g_key_file_set_uint64(file_.get(), settingsGroup, name, value);
    return raw(name) != before;
}

bool SettingsKeyFile::setBoolean(const char* name, bool value) {
    if (name == nullptr || !validSettingName(name)) return false;
    const std::optional<std::string> before = raw(name);
    g_key_file_set_boolean(file_.get(), settingsGroup, name, value ? TRUE : FALSE);
    return raw(name) != before;
}

bool SettingsKeyFile::remove(const char* name) {
    if (!raw(name)) return false;
    return g_key_file_remove_key(file_.get(), settingsGroup, name, nullptr) != FALSE;
}

void SettingsKeyFile::setHeader(const std::string& comment) {
    g_key_file_set_comment(file_.get(), nullptr, nullptr, comment.c_str(), nullptr);
}

std::string SettingsKeyFile::text() const {
    gsize size = 0;
    const TextPtr data(g_key_file_to_data(file_.get(), &size, nullptr));
    return data ? std::string(data.get(), size) : std::string();
}
