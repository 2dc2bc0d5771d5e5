#include "platform/message.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace {

MessageHandler& handlerSlot() {
    static MessageHandler handler;
    return handler;
}

MessageAnswer printToStderr(const std::string& text, const std::string&, MessageStyle style) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return (style == MessageStyle::yesNo || style == MessageStyle::yesNoCancel) ? MessageAnswer::yes
                                                                                : MessageAnswer::ok;
}

}  // namespace

MessageAnswer showMessage(const std::string& text, const std::string& caption, MessageStyle style) {
    const MessageHandler& handler = handlerSlot();
    if (handler) return handler(text, caption, style);
    return printToStderr(text, caption, style);
}

MessageAnswer showMessage(const std::string& text, MessageStyle style) {
    return showMessage(text, programCaption(), style);
}

MessageHandler setMessageHandler(MessageHandler handler) {
    return std::exchange(handlerSlot(), std::move(handler));
}

std::string programCaption() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "Domecast";
    std::string caption(path, static_cast<std::size_t>(n));
    if (caption.size() > 128) caption.resize(128);
    return caption;
}
