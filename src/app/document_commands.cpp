#include "app/document_commands.h"

#include <memory>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/main_window.h"
#include "platform/io_exception.h"
#include "platform/report.h"

bool documentCommandsAvailable() { return true; }

namespace {
void openPanorama(MainWindow* window) {
    WindowQuestions questions(window);
    if (!confirmDiscard(window)) return;
    auto opened = std::make_unique<PaintedSixImage>();
    try {
        if (opened->open(questions) != 0) return;  // cancelled
    } catch (const ioException& e) {
        reportIoException(e);
        return;
    }
    // The new panorama keeps the field of view the window showed.
    opened->setFOV(app().panorama->getFOV());
    app().panorama = std::move(opened);
    app().windowPitch = 0;
    app().windowHeading = 0;
    window->showTitle();
    updateMenus(window);
}

// Save, or Save As when saveAs; a failed write asks for another name until one works or
// the user cancels.
void savePanorama(MainWindow* window, bool saveAs) {
    WindowQuestions questions(window);
    PaintedSixImage& panorama = *app().panorama;
    for (bool first = true;; first = false) {
        try {
            if (first && !saveAs)
                panorama.save(questions);
            else
                panorama.saveAs(questions);
            break;
        } catch (const ioException& e) {
            reportIoException(e);
        }
    }
    window->showTitle();
}
}  // namespace

void documentCommand(MainWindow* window, int id) {
    if (!app().panorama) return;
    switch (id) {
    case cmdOpen:
        openPanorama(window);
        window->view()->invalidateView();
        break;
    case cmdSave: savePanorama(window, false); break;
    case cmdSaveAs: savePanorama(window, true); break;
    default: break;
    }
}

bool confirmDiscard(MainWindow* window) {
    if (!app().panorama) return true;
    WindowQuestions questions(window);
    return app().panorama->querySaveChanges(questions) == 0;
}

void loadDocument(MainWindow* window, PaintedSixImage& panorama, const std::string& path) {
    WindowQuestions questions(window);
    panorama.load(questions, -1, path);
}
