#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "panorama/document_questions.h"

// Answers the document questions from queues filled by the test and records what was
// asked. An empty queue answers "cancelled" (or "closed" for the field-of-view prompt,
// Cancel for the save prompt).
class ScriptedQuestions : public DocumentQuestions {
public:
    struct FileQuestion {
        std::string folder;
        int type;
    };

    std::optional<FileChoice> chooseSaveFile(const std::string& folder, int type) override;
    std::optional<FileChoice> chooseOpenFile(const std::string& folder, int type) override;
    std::optional<int> askFieldOfView(int proposed) override;
    MessageAnswer askSaveChanges(const std::string& text, const std::string& caption) override;
    bool askReplaceReadOnly(const std::string& text) override;
    void showMessage(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void beginWait() override;
    void endWait() override;

    std::deque<std::optional<FileChoice>> saveAnswers;
    std::deque<std::optional<FileChoice>> openAnswers;
    std::deque<std::optional<int>> fieldOfViewAnswers;
    std::deque<MessageAnswer> saveChangesAnswers;
    std::deque<bool> confirmAnswers;          // empty: Cancel
    std::deque<bool> replaceReadOnlyAnswers;  // empty: No

    std::vector<FileQuestion> saveQuestions;
    std::vector<FileQuestion> openQuestions;
    std::vector<int> proposedFieldsOfView;
    std::vector<std::string> saveChangesTexts;
    std::vector<std::string> confirmTexts;
    std::vector<std::string> replaceReadOnlyTexts;
    std::vector<std::string> messages;
    int waitDepth = 0;
    int waitsBegun = 0;
    // Whether the wait cursor showed while a question was asked.
    bool askedWhileWaiting = false;
};
