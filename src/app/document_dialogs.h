#pragma once
#include <optional>
#include <string>

#include "panorama/document_questions.h"

class wxWindow;

// The document operations' questions answered with the window's dialogs: the file
// dialogs over the format table's type lists (Save As with its "Options..." button), the
// vertical field-of-view prompt, the save-changes prompt and the wait cursor.
class WindowQuestions : public DocumentQuestions {
public:
    explicit WindowQuestions(wxWindow* parent);
    // Ends a wait cursor the operation left showing.
    ~WindowQuestions() override;
    WindowQuestions(const WindowQuestions&) = delete;
    WindowQuestions& operator=(const WindowQuestions&) = delete;

    std::optional<FileChoice> chooseSaveFile(const std::string& folder, int type) override;
    std::optional<FileChoice> chooseOpenFile(const std::string& folder, int type) override;
    std::optional<int> askFieldOfView(int proposed) override;
    MessageAnswer askSaveChanges(const std::string& text, const std::string& caption) override;
    bool askReplaceReadOnly(const std::string& text) override;
    void showMessage(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void beginWait() override;
    void endWait() override;

private:
    wxWindow* parent_;
    int waitDepth_ = 0;
};
