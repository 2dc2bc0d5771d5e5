// The editor's entry point: start-up, the event loop, shut-down.
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/display.h"
#include "app/document_commands.h"
#include "app/gl_view.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/message_dialog.h"
#include "app/program_icon.h"
#include "app/termination_watch.h"
#include "app/test_faces.h"
#include "panorama/geometry.h"
#include "platform/command_line.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/report.h"
#include "platform/settings.h"

namespace {
int exitStatus = 0;
std::vector<std::string> files;  // the panorama named on the command line

// A panorama whose load left faces missing cannot be shown.
bool complete(const PaintedSixImage& panorama) {
    for (const auto& face : panorama.faces)
        if (!face || face->pixels == nullptr) return false;
    return true;
}

std::unique_ptr<PaintedSixImage> loadPanorama(const std::string& path, bool report) {
    auto panorama = std::make_unique<PaintedSixImage>();
    try {
        loadDocument(app().window, *panorama, path);
    } catch (const ioException& e) {
        if (report) reportIoException(e);
        return nullptr;
    }
    if (!complete(*panorama)) return nullptr;
    return panorama;
}

class DomecastApp : public wxApp {
public:
    bool OnInit() override;
    int OnExit() override;

private:
    bool fail(int status) {
        exitStatus = status;
        return false;
    }
};

bool DomecastApp::OnInit() {
    wxInitAllImageHandlers();
    // The menu texts carry shortcut texts the toolkit cannot parse; it need not say so.
    wxLog::SetLogLevel(wxLOG_Info);
    // Test runs ask with DOMECAST_MESSAGES=stderr for messages they can read.
    const char* messages = std::getenv("DOMECAST_MESSAGES");
    if (messages == nullptr || std::string(messages) != "stderr") installMessageDialogs();

    auto* window = new MainWindow();
    app().window = window;
    setProgramIcon(window);
    if (!window->view()->initScene()) {
        showMessage("WM_CREATE: InitScene failed. Abort.");
        window->Destroy();
        return fail(1);
    }

    if (const char* refusal = PaintLink::openAsApplication(app().link); refusal != nullptr) {
        showMessage(refusal);
        window->Destroy();
        return fail(1);
    }

    if (!files.empty()) app().panorama = loadPanorama(files.front(), true);
    if (!app().panorama) {
        std::string defaultFile;
        if (readStringSetting("DefaultFile", defaultFile, 1, 1) != 0) app().panorama = loadPanorama(defaultFile, false);
    }
    if (!app().panorama) {
        app().panorama = std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256});
        fillTestFaces(*app().panorama);
    }

    window->sizeForView(app().panorama->calculateNominalSize({90 * degToRad, 75 * degToRad}));
    window->SetAcceleratorTable(createAccelerators());
    updateMenus(window);
    window->showTitle();
    window->Show(true);
    window->view()->SetFocus();

    watchTermination([] {
        if (app().window != nullptr) app().window->Close(false);
    });
    return true;
}

int DomecastApp::OnExit() {
    unwatchTermination();
    if (app().link) app().link->close();
    app().link.reset();
    app().panorama.reset();
    app().window = nullptr;
    // Nothing may open a dialog once the toolkit is gone.
    setMessageHandler({});
    return 0;
}
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(DomecastApp);

int main(int argc, char** argv) {
    // NAME=value arguments reach the environment before the toolkit reads it.
    parseCommandLine(rawCommandLine(argc, argv), 1, files);
    // Only the program's name goes to wx: the rest is the system's own command line.
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    const int result = wxEntry(wxArgc, wxArgv);
    return exitStatus != 0 ? exitStatus : (result < 0 ? 1 : 0);
}
