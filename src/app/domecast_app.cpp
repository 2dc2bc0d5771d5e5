// The editor's entry point: start-up, the event loop, shut-down.
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/hand_over_watch.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/message_dialog.h"
#include "app/paint_loop.h"
#include "app/jpeg_options_dialog.h"
#include "app/pcx_options_dialog.h"
#include "app/program_icon.h"
#include "app/termination_watch.h"
#include "platform/command_line.h"
#include "platform/file_contents.h"
#include "platform/message.h"
#include "platform/report.h"
#include "shell/second_start.h"
#include "shell/shell.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"

namespace {
int exitStatus = 0;
bool handedOver = false;  // a second start whose file the running editor took
std::vector<std::string> files;  // the panorama named on the command line
MainWindow* mainWindow = nullptr;

class DomecastApp : public wxApp {
public:
    bool OnInit() override;
    int OnExit() override;
    // An error nothing caught ends the program; while it still can, it keeps the unsaved
    // panorama for the next start first.
    bool OnExceptionInMainLoop() override;

private:
    bool fail(int status) {
        exitStatus = status;
        return false;
    }
};

bool DomecastApp::OnInit() {
    wxInitAllImageHandlers();
    // The toolkit's own warnings would open boxes of their own; the program says what matters.
    wxLog::SetLogLevel(wxLOG_Info);
    // Test runs ask with DOMECAST_MESSAGES=stderr for messages they can read.
    const char* messages = std::getenv("DOMECAST_MESSAGES");
    if (messages == nullptr || std::string(messages) != "stderr") installMessageDialogs();

    // The Save-as "Options..." of "QuakeII, Targa & PCX".
    pcxOptionsDialog = showPCXOptionsDialog;
    // And of the layouts writing JPEG faces.
    jpegOptionsDialog = showJpegOptionsDialog;

    auto* window = new MainWindow();
    mainWindow = window;
    setProgramIcon(window);
    if (!window->view()->initScene()) {
        showMessage("WM_CREATE: InitScene failed. Abort.");
        window->Destroy();
        return fail(1);
    }

    Shell& shell = window->shell();
    if (const char* refusal = shell.openLink(); refusal != nullptr) {
        // Another editor runs: on another display it stays there and this start is
        // refused; on this one it is asked to open the file named (or to come to the
        // front), and this start ends.
        if (PaintLink::refusedAsRunning(refusal)) {
            const std::optional<std::string> there = runningEditorDisplay();
            if (const std::string here = currentDisplayName(); there && !here.empty() && !sameDisplay(*there, here)) {
                showMessage(otherDisplayMessage(*there), MessageStyle::okError);
                window->Destroy();
                return fail(1);
            }
        }
        if (PaintLink::refusedAsRunning(refusal) &&
            sendHandOver(handOverMessage(files.empty() ? std::string() : files.front())) == HandOverSent::delivered) {
            handedOver = true;
            window->Destroy();
            return false;
        }
        showMessage(refusal);
        window->Destroy();
        return fail(1);
    }
    bindHandOverSocket(*window);

    {
        WindowQuestions questions(window);
        shell.startWith(questions, files);
    }
    // Before the window shows: what a session left unsaved comes first.
    shell.offerRecovery();

    window->sizeForView(nominalSize(*shell.panorama(), {90 * degToRad, 75 * degToRad}));
    window->SetAcceleratorTable(createAccelerators());
    window->Show(true);
    // Test runs ask, with DOMECAST_TEST_MENUS=FILE, for the menus as the toolkit shows them.
    if (const char* menus = std::getenv("DOMECAST_TEST_MENUS"); menus != nullptr && window->GetMenuBar() != nullptr)
        replaceFileContents(menus, describeMenus(*window->GetMenuBar()));
    window->view()->SetFocus();
    startPaintLoop(*window);
    startHandOverWatch();

    watchTermination([] {
        if (mainWindow != nullptr) mainWindow->endForSession();
    });
    return true;
}

bool DomecastApp::OnExceptionInMainLoop() {
    if (mainWindow != nullptr) {
        try {
            mainWindow->shell().saveForRecovery();
        } catch (...) {
            // Nothing more can be kept; the original error is the one reported.
        }
    }
    throw;
}

int DomecastApp::OnExit() {
    unwatchTermination();
    releaseHandOverWatch();
    // The shell, its link and its panorama went with the main window when it was deleted.
    mainWindow = nullptr;
    // Nothing may open a dialog once the toolkit is gone.
    setMessageHandler({});
    return 0;
}
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(DomecastApp);

const char* const usage =
    "usage: domecast [NAME=value ...] [PANORAMA]\n"
    "       domecast --help | --version\n"
    "\n"
    "Opens PANORAMA (any file the Open dialog lists, such as a face file sky_FR.tga or a\n"
    "spherical photo) in the editor window; without it, the \"DefaultFile\" setting.\n"
    "While Domecast is running already on this display, a second start asks it to open\n"
    "PANORAMA (after its save prompt) or, without one, to come to the front, and ends; one\n"
    "running on another display is left alone and this start ends with status 1.\n"
    "NAME=value arguments are set in the environment, for example DOMECAST_MESSAGES=stderr.\n"
    "Exit status: 0 done; 1 the editor could not start, or the running one could not be\n"
    "reached or runs on another display.\n";

int main(int argc, char** argv) {
    // Questions about the program itself are answered without a window or a display.
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("%s\n", versionText().c_str());
            return 0;
        }
    }
    // NAME=value arguments reach the environment before the toolkit reads it.
    parseCommandLine(rawCommandLine(argc, argv), 1, files);
    // Only the program's name goes to wx: the rest is the system's own command line.
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    const int result = wxEntry(wxArgc, wxArgv);
    if (handedOver) return 0;
    return exitStatus != 0 ? exitStatus : (result < 0 ? 1 : 0);
}
