#include "platform/message.h"

#include <cstdio>
#include <utility>

namespace {

MessageHandler& handlerSlot() {
    static MessageHandler handler;
    return handler;
}

MessageAnswer printToStderr(const std::string& text, const std::string&, MessageStyle style) {
    std::fprintf(stderr, "%s\n", text.c_str());
    const bool question = style == MessageStyle::yesNo || style == MessageStyle::yesNoCancel ||
                          style == MessageStyle::recoverDiscardLater;
    return question ? MessageAnswer::yes : MessageAnswer::ok;
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

std::string programCaption() { return "Domecast"; }
