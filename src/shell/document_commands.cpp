// The document group: Open, Save, Save As, and the panorama the editor starts with and
// gives up at exit.
#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "panorama/document_files.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"
#include "panorama/unread_faces.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "shell/test_faces.h"

bool documentCommandOffered(int id) { return id == cmdOpen || id == cmdSave || id == cmdSaveAs || id == cmdRevert; }

namespace {
// A panorama whose load left faces missing cannot be shown.
bool complete(const PaintedSixImage& panorama) {
    for (const auto& face : panorama.faces)
        if (!face || face->pixels == nullptr) return false;
    return true;
}

// Reads path in the layout of open row openRow (-1: recognised from the name).
std::unique_ptr<PaintedSixImage> loadPanorama(DocumentQuestions& questions, const std::string& path, bool report,
                                              int openRow = -1) {
    auto panorama = std::make_unique<PaintedSixImage>();
    try {
        panorama->load(questions, openRow, path);
    } catch (const ioException& e) {
        if (report) reportIoException(e);
        return nullptr;
    } catch (const std::bad_alloc&) {
        if (report) reportIoException(ioException{path, ioException::reading, "not enough memory"});
        return nullptr;
    }
    if (!complete(*panorama)) return nullptr;
    if (report) reportUnreadFaces(panorama->unreadFaces);
    return panorama;
}
}  // namespace

void Shell::replacePanorama(std::unique_ptr<PaintedSixImage> next, const char* undoName) {
    // A view still going to a plug-in is rendered from the panorama that goes now.
    if (sender_) {
        link_->cancel();
        sender_.reset();
        paintState_ = PaintState::idle;
    }
    endViewFileRound();
    std::swap(panorama_, next);
    if (undoName != nullptr && next) {
        UndoStep step;
        step.name = undoName;
        step.panorama = std::move(next);
        const bool fresh = panorama_->modified == 0;
        recordStep(std::move(step));
        // A new panorama that holds nothing yet has nothing to save.
        if (fresh) {
            history_.markSaved();
            followSavedState();
        }
    } else {
        history_.clear(panorama_->modified == 0);
    }
    next.reset();
    // A panorama opened from a web page looks where the page does (its heading turns
    // right as it grows, the window's left); any other from the front.
    const std::optional<PageView> view = panorama_->openedView;
    camera_.heading = view ? -static_cast<float>(view->heading) * degToRad : 0;
    camera_.pitch = view ? clampPitch(static_cast<float>(view->pitch) * degToRad) : 0;
    notifyTitle();
    notifyCommands();
    notifyView();
}

bool Shell::revertPanorama(DocumentQuestions& questions) {
    if (!panorama_ || panorama_->fileName.empty()) return false;
    const std::string name = panorama_->title ? panorama_->title.get() : panorama_->fileName;
    if (showMessage("Revert " + name + " to the file last saved? The changes since then are lost.", MessageStyle::yesNo) !=
        MessageAnswer::yes)
        return false;
    // Read in the layout it is saved in when its name is one that layout opens (a photo
    // could fit several); otherwise (a scene file, say) the name says how.
    const FormatTable& table = formatTable();
    int openRow = table.validSaveRow(panorama_->layout) ? table.saveRow(panorama_->layout).saveToOpen : -1;
    if (table.validOpenRow(openRow) && matchLength(fileNamePart(panorama_->fileName), table.openRow(openRow).openPattern) == 0)
        openRow = -1;
    std::unique_ptr<PaintedSixImage> reread;
    {
        WaitCursor wait(questions);
        reread = loadPanorama(questions, panorama_->fileName, true, openRow);
    }
    if (!reread) return false;
    // Saved under the name, layout and title it had, as if it had never been changed.
    reread->fileName = panorama_->fileName;
    reread->layout = panorama_->layout;
    reread->title = std::move(panorama_->title);
    reread->pageView = panorama_->pageView;
    reread->modified = 0;
    endViewFileRound();
    panorama_ = std::move(reread);
    history_.clear(true);
    notifyTitle();
    notifyCommands();
    notifyView();
    return true;
}

bool Shell::openPanorama(DocumentQuestions& questions) {
    if (!confirmDiscard(questions)) return false;
    auto opened = std::make_unique<PaintedSixImage>();
    try {
        if (opened->open(questions) != 0) return false;  // cancelled
    } catch (const ioException& e) {
        // Cancelled or failed, the panorama shown stays.
        if (!isCancellation(e)) reportIoException(e);
        return false;
    } catch (const std::bad_alloc&) {
        // The panorama shown stays; only the one being opened is given up.
        reportIoException(ioException{opened->fileName, ioException::reading, "not enough memory"});
        return false;
    }
    const std::vector<UnreadFace> unread = std::move(opened->unreadFaces);
    replacePanorama(std::move(opened));
    reportUnreadFaces(unread);
    return true;
}

namespace {
// The Open dialog answered with a file named beforehand, its type left to the name;
// every other question goes to the user.
class NamedFileQuestions : public DocumentQuestions {
public:
    NamedFileQuestions(DocumentQuestions& user, std::string path) : user_(user), path_(std::move(path)) {}

    std::optional<FileChoice> chooseOpenFile(const std::string&, int) override { return FileChoice{path_, -1}; }
    std::optional<FileChoice> chooseSaveFile(const std::string& folder, int type) override {
        return user_.chooseSaveFile(folder, type);
    }
    std::optional<int> askFieldOfView(int proposed) override { return user_.askFieldOfView(proposed); }
    MessageAnswer askSaveChanges(const std::string& text, const std::string& caption) override {
        return user_.askSaveChanges(text, caption);
    }
    bool askReplaceReadOnly(const std::string& text) override { return user_.askReplaceReadOnly(text); }
    void showMessage(const std::string& text) override { user_.showMessage(text); }
    bool confirm(const std::string& text) override { return user_.confirm(text); }
    void beginWait() override { user_.beginWait(); }
    void endWait() override { user_.endWait(); }

private:
    DocumentQuestions& user_;
    std::string path_;
};
}  // namespace

bool Shell::openNamedPanorama(DocumentQuestions& questions, const std::string& path) {
    NamedFileQuestions named(questions, path);
    return openPanorama(named);
}

void Shell::savePanorama(DocumentQuestions& questions, bool saveAs) {
    if (!panorama_) return;
    setPageView();
    for (bool first = true;; first = false) {
        try {
            if (first && !saveAs)
                panorama_->save(questions);
            else
                panorama_->saveAs(questions);
            break;
        } catch (const ioException& e) {
            // A cancelled save has replaced nothing: there is nothing to report or retry.
            if (isCancellation(e)) break;
            reportIoException(e);
        } catch (const std::bad_alloc&) {
            reportIoException(ioException{panorama_->fileName, ioException::writing, "not enough memory"});
            break;
        }
    }
    noteSaved();
    notifyTitle();
    // A first save gives the panorama a file to revert to.
    notifyCommands();
}

void Shell::setPageView() {
    // The window's heading turns left as it grows; a page's heading, like the title's h,
    // turns right.
    panorama_->pageView = {-static_cast<double>(windowHeading()) * radToDeg, static_cast<double>(windowPitch()) * radToDeg};
}

bool Shell::confirmDiscard(DocumentQuestions& questions) {
    if (!panorama_) return true;
    setPageView();
    // Its answer may have saved the panorama.
    const bool carryOn = panorama_->querySaveChanges(questions) == 0;
    noteSaved();
    return carryOn;
}

void Shell::startWith(DocumentQuestions& questions, const std::vector<std::string>& files) {
    // Settings lines that cannot be used are said once, here; stderr has them too.
    if (const std::vector<std::string> problems = settingsFileProblems(); !problems.empty()) {
        std::string text = "Some settings lines cannot be used; Domecast goes on without them:";
        for (const std::string& problem : problems) text += "\n" + problem;
        showMessage(text, MessageStyle::okExclamation);
    }
    if (!files.empty()) {
        panorama_ = loadPanorama(questions, files.front(), true);
        // Named as File > Open names it, so that Save writes back to the file given.
        if (panorama_) panorama_->nameAfter(files.front(), -1);
    }
    if (!panorama_) {
        std::string defaultFile;
        if (readStringSetting("DefaultFile", defaultFile, 1, 1) != 0) panorama_ = loadPanorama(questions, defaultFile, false);
        // The title names the start-up panorama so a new user sees what is open; the file
        // name stays empty, so Save asks for a name instead of writing into the installation.
        if (panorama_) panorama_->title = makeTitle(fileNamePart(formatTable().openBase(defaultFile, -1)));
    }
    if (!panorama_) {
        panorama_ = std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256});
        fillTestFaces(*panorama_);
    }
    history_.clear(panorama_->modified == 0);
    // Nothing was drawn yet: the window's first paint draws everything.
    notifyTitle();
    notifyCommands();
}

bool Shell::exitSequence(DocumentQuestions& questions) {
    if (!confirmDiscard(questions)) return false;
    removeTempView();
    quitRequested_ = 1;
    return true;
}

void Shell::removeTempView() {
    endViewFileRound();
    if (!tempViewPath_.empty()) {
        if (std::remove(tempViewPath_.c_str()) != 0) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error deleting temporary file \"%.260s\"", tempViewPath_.c_str());
            reportSystemError(text);
        }
        tempViewPath_.clear();
    }
}
