#include "image/library_message.h"

#include <mutex>
#include <set>
#include <string>

namespace {
// The libraries format a few dozen messages with numbers in them; far more distinct texts
// than this would mean a stream made to fill memory.
constexpr std::size_t keptTexts = 256;
}  // namespace

const char* libraryReason(std::string_view text, const char* fallback) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    if (text.empty()) return fallback;
    static std::mutex mutex;
    static std::set<std::string, std::less<>> texts;
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto found = texts.find(text); found != texts.end()) return found->c_str();
    if (texts.size() >= keptTexts) return fallback;
    return texts.emplace(text).first->c_str();
}
