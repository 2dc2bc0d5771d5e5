#include "support/scripted_questions.h"

namespace {
template <typename T>
T next(std::deque<T>& answers, T otherwise) {
    if (answers.empty()) return otherwise;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}
}  // namespace

std::optional<FileChoice> ScriptedQuestions::chooseSaveFile(const std::string& folder, int type) {
    askedWhileWaiting |= waitDepth > 0;
    saveQuestions.push_back({folder, type});
    return next<std::optional<FileChoice>>(saveAnswers, std::nullopt);
}

std::optional<FileChoice> ScriptedQuestions::chooseOpenFile(const std::string& folder, int type) {
    askedWhileWaiting |= waitDepth > 0;
    openQuestions.push_back({folder, type});
    return next<std::optional<FileChoice>>(openAnswers, std::nullopt);
}

std::optional<int> ScriptedQuestions::askFieldOfView(int proposed) {
    askedWhileWaiting |= waitDepth > 0;
    proposedFieldsOfView.push_back(proposed);
    return next<std::optional<int>>(fieldOfViewAnswers, std::nullopt);
}

MessageAnswer ScriptedQuestions::askSaveChanges(const std::string& text, const std::string&) {
    askedWhileWaiting |= waitDepth > 0;
    saveChangesTexts.push_back(text);
    return next(saveChangesAnswers, MessageAnswer::cancel);
}

bool ScriptedQuestions::askReplaceReadOnly(const std::string& text) {
    askedWhileWaiting |= waitDepth > 0;
    replaceReadOnlyTexts.push_back(text);
    return next(replaceReadOnlyAnswers, false);
}

void ScriptedQuestions::showMessage(const std::string& text) { messages.push_back(text); }

bool ScriptedQuestions::confirm(const std::string& text) {
    askedWhileWaiting |= waitDepth > 0;
    confirmTexts.push_back(text);
    return next(confirmAnswers, false);
}

void ScriptedQuestions::beginWait() {
    ++waitDepth;
    ++waitsBegun;
}

void ScriptedQuestions::endWait() { --waitDepth; }
