#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/message.h"

// A file picked in the Open or Save-as dialog and the index of the type selected there
// (a row of the format table's open or save list).
struct FileChoice {
    std::string path;
    int row = 0;
};

// The questions saving and opening ask the user. The window program answers them with
// its dialogs, the command-line program from its arguments, tests from a script.
class DocumentQuestions {
public:
    virtual ~DocumentQuestions() = default;

    // The Save-as dialog over formatTable().saveFilter(), starting in folder (empty: the
    // dialog's default) with type index type selected. Empty when cancelled or failed.
    virtual std::optional<FileChoice> chooseSaveFile(const std::string& folder, int type) = 0;
    // The Open dialog over formatTable().openFilter().
    virtual std::optional<FileChoice> chooseOpenFile(const std::string& folder, int type) = 0;
    // The vertical field-of-view prompt showing proposed degrees; the value accepted with
    // OK (see readFieldOfView, fieldOfViewAccepted), empty when the prompt was closed.
    virtual std::optional<int> askFieldOfView(int proposed) = 0;
    // A Yes / No / Cancel question with the exclamation icon.
    virtual MessageAnswer askSaveChanges(const std::string& text, const std::string& caption) = 0;
    // A Yes / No question before a save replaces a file the user may not write; true for
    // Yes.
    virtual bool askReplaceReadOnly(const std::string& text) = 0;
    // A message with an OK button, captioned with the program's path.
    virtual void showMessage(const std::string& text) = 0;
    // An OK / Cancel question with the exclamation icon; true for OK.
    virtual bool confirm(const std::string& text) = 0;
    // The wait cursor of long operations; calls nest.
    virtual void beginWait() = 0;
    virtual void endWait() = 0;
};

// Shows the wait cursor while it lives; pause and resume let a question be asked with the
// normal cursor in between.
class WaitCursor {
public:
    explicit WaitCursor(DocumentQuestions& questions) : questions_(questions) { resume(); }
    ~WaitCursor() { pause(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void pause() {
        if (!waiting_) return;
        waiting_ = false;
        questions_.endWait();
    }
    void resume() {
        if (waiting_) return;
        questions_.beginWait();
        waiting_ = true;
    }

private:
    DocumentQuestions& questions_;
    bool waiting_ = false;
};

// The field-of-view prompt's rule. The edit field holds at most 7 characters, read as a
// decimal number from their start; text that does not start with a number reads as 0.
int readFieldOfView(std::string_view text);
// Whole degrees from 1 to 179 pass; anything else gets fieldOfViewRangeMessage and the
// prompt stays open.
bool fieldOfViewAccepted(int degrees);
inline constexpr char fieldOfViewRangeMessage[] = "Field of view must be between 1 and 179.9 degrees";

// The value the field-of-view prompt last showed or accepted, degrees.
extern int proposedFov;
