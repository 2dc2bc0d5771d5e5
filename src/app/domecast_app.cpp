// The editor's entry point: start-up, the event loop, shut-down.
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/message_dialog.h"
#include "app/paint_loop.h"
#include "app/pcx_options_dialog.h"
#include "app/program_icon.h"
#include "app/termination_watch.h"
#include "platform/command_line.h"
#include "platform/message.h"
#include "platform/report.h"
#include "shell/shell.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"

namespace {
int exitStatus = 0;
std::vector<std::string> files;  // the panorama named on the command line
MainWindow* mainWindow = nullptr;

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

    // The Save-as "Options..." of "QuakeII, Targa & PCX".
    pcxOptionsDialog = showPCXOptionsDialog;

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
        showMessage(refusal);
        window->Destroy();
        return fail(1);
    }

    {
        WindowQuestions questions(window);
        shell.startWith(questions, files);
    }

    window->sizeForView(shell.panorama()->calculateNominalSize({90 * degToRad, 75 * degToRad}));
    window->SetAcceleratorTable(createAccelerators());
    window->Show(true);
    window->view()->SetFocus();
    startPaintLoop(*window);

    watchTermination([] {
        if (mainWindow != nullptr) mainWindow->Close(false);
    });
    return true;
}

int DomecastApp::OnExit() {
    unwatchTermination();
    // The shell, its link and its panorama went with the main window when it was deleted.
    mainWindow = nullptr;
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
