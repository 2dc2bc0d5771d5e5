#include "platform/report.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/message.h"

namespace {
std::atomic<bool> debuggingOn{false};

// At most n - 1 bytes, as the fixed message buffers hold, never ending inside a UTF-8
// sequence: the window toolkit shows a text with a broken sequence as an empty box.
std::string cut(std::string text, std::size_t n) {
    if (text.size() <= n - 1) return text;
    std::size_t size = n - 1;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    text.resize(size);
    return text;
}
}  // namespace

bool runtimeDebugging() { return debuggingOn.load(std::memory_order_relaxed); }
void setRuntimeDebugging(bool on) { debuggingOn.store(on, std::memory_order_relaxed); }

void reportIoException(const ioException& e) {
    static const char* const verbs[] = {"opening", "closing", "reading", "writing"};
    const char* verb = (e.kind >= 0 && e.kind < 4) ? verbs[e.kind] : "accessing";
    std::string text = !e.message.empty() ? e.message : cut("IO Error " + std::string(verb) + " " + e.path, 1024);
    // The defect found, as the reader or writer named it: the user's only clue to what to change.
    if (e.reason != nullptr && *e.reason != '\0') text += "\nReason: " + cut(e.reason, 512);
    showMessage(text, MessageStyle::ok);
}

void reportSystemError(const char* text) {
    const int error = errno;
    char buffer[260];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* system = strerror_r(error, buffer, sizeof buffer);
    std::string message = cut(system, 260);
    if (text != nullptr) message = cut(std::string(text) + ":\n" + message, 260);
    showMessage(message, MessageStyle::ok);
}

void reportAssertion(const char* file, int line, const char* expression) {
    showMessage(cut("File " + std::string(file) + ", line " + std::to_string(line) + " : " + expression, 128),
                "Assertion Failed", MessageStyle::okError);
}
