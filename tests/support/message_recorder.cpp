#include "support/message_recorder.h"

MessageRecorder::MessageRecorder(MessageAnswer answer) {
    previous_ = setMessageHandler([this, answer](const std::string& text, const std::string& caption,
                                                 MessageStyle style) {
        messages_.push_back({text, caption, style});
        return answer;
    });
}

MessageRecorder::~MessageRecorder() { setMessageHandler(std::move(previous_)); }

std::vector<std::string> MessageRecorder::texts() const {
    std::vector<std::string> result;
    for (const auto& m : messages_) result.push_back(m.text);
    return result;
}
