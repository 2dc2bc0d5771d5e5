#include "platform/settings_keyfile.h"

#include <glib.h>

#include <charconv>

#include "platform/file_contents.h"
#include "platform/settings.h"

namespace {

// Far beyond any real settings file; a larger one is not read into memory.
constexpr std::size_t settingsFileLimit = 1 << 20;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

struct TextFree {
    void operator()(gchar* text) const { g_free(text); }
};
using TextPtr = std::unique_ptr<gchar, TextFree>;

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
    switch (readFileContents(path, settingsFileLimit, contents)) {
    case FileRead::missing: return Load::missing;
    case FileRead::failed: reason_ = "not a readable file of at most 1 MiB"; return Load::failed;
    case FileRead::ok: break;
    }
    return parse(contents);
}

SettingsKeyFile::Load SettingsKeyFile::parse(std::string_view contents) {
    GError* error = nullptr;
    const GKeyFileFlags flags = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
    if (!g_key_file_load_from_data(file_.get(), contents.data(), contents.size(), flags, &error)) {
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
