#pragma once
#include <functional>
#include <string>

// What kind of box a message asks for; the window program maps these onto its dialogs.
enum class MessageStyle {
    ok,             // plain information
    okError,        // error icon
    okExclamation,  // warning icon
    yesNoCancel,    // a question with three answers
    yesNo,
    okCancel,
    recoverDiscardLater,  // a question whose yes, no and cancel read Recover, Discard, Later
};

enum class MessageAnswer { ok, yes, no, cancel };

// The one way the whole system shows a message box. Without a handler installed the
// text goes to stderr (the command-line programs) and the answer is ok/yes.
MessageAnswer showMessage(const std::string& text, const std::string& caption,
                          MessageStyle style = MessageStyle::ok);
// The same, captioned with the program's name.
MessageAnswer showMessage(const std::string& text, MessageStyle style = MessageStyle::ok);

using MessageHandler =
    std::function<MessageAnswer(const std::string& text, const std::string& caption, MessageStyle)>;

// Installs a handler (a dialog in the window program, a recorder in tests); returns the
// previous one. An empty handler restores the stderr default.
MessageHandler setMessageHandler(MessageHandler handler);

// The default caption, the program's name: "Domecast".
std::string programCaption();
