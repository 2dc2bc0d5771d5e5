#pragma once
#include <string>
#include <vector>

#include "platform/message.h"

// Records every message box shown while it lives, answering with a fixed answer.
class MessageRecorder {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageStyle style;
    };

    explicit MessageRecorder(MessageAnswer answer = MessageAnswer::ok);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return messages_; }
    std::vector<std::string> texts() const;
    void clear() { messages_.clear(); }

private:
    std::vector<Message> messages_;
    MessageHandler previous_;
};
