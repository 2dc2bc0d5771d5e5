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

bool documentCommandOffered(int id) { return id == cmdOpen || id == cmdSave || id == cmdSaveAs; }

namespace {
// A panorama whose load left faces missing cannot be shown.
bool complete(const PaintedSixImage& panorama) {
    for (const auto& face : panorama.faces)
        if (!face || face->pixels == nullptr) return false;
    return true;
}

std::unique_ptr<PaintedSixImage> loadPanorama(DocumentQuestions& questions, const std::string& path, bool report) {
    auto panorama = std::make_unique<PaintedSixImage>();
    try {
        // The layout is recognised from the name.
        panorama->load(questions, -1, path);
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

void Shell::replacePanorama(std::unique_ptr<PaintedSixImage> next) {
    // A view still going to a plug-in is rendered from the panorama that goes now.
    if (sender_) {
        link_->cancel();
        sender_.reset();
        paintState_ = PaintState::idle;
    }
    endViewFileRound();
    panorama_ = std::move(next);
    camera_.heading = 0;
    camera_.pitch = 0;
    notifyTitle();
    notifyCommands();
    notifyView();
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
    void showMessage(const std::string& text) override { user_.showMessage(text); }
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
    notifyTitle();
}

void Shell::setPageView() {
    // The window's heading turns left as it grows; a page's heading, like the title's h,
    // turns right.
    panorama_->pageView = {-static_cast<double>(windowHeading()) * radToDeg, static_cast<double>(windowPitch()) * radToDeg};
}

bool Shell::confirmDiscard(DocumentQuestions& questions) {
    if (!panorama_) return true;
    setPageView();
    return panorama_->querySaveChanges(questions) == 0;
}

void Shell::startWith(DocumentQuestions& questions, const std::vector<std::string>& files) {
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
    // Nothing was drawn yet: the window's first paint draws everything.
    notifyTitle();
    notifyCommands();
}

bool Shell::exitSequence(DocumentQuestions& questions) {
    if (!confirmDiscard(questions)) return false;
    endViewFileRound();
    if (!tempViewPath_.empty()) {
        if (std::remove(tempViewPath_.c_str()) != 0) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error deleting temporary file \"%.260s\"", tempViewPath_.c_str());
            reportSystemError(text);
        }
        tempViewPath_.clear();
    }
    quitRequested_ = 1;
    return true;
}
