#include "app/main_window.h"

#include <wx/app.h>

#include <cstdio>

#include "app/about_dialog.h"
#include "app/app_state.h"
#include "app/commands.h"
#include "app/display.h"
#include "app/document_commands.h"
#include "app/gl_view.h"
#include "app/main_menu.h"
#include "app/open_document.h"
#include "panorama/geometry.h"
#include "platform/message.h"
#include "platform/report.h"
#include "view/window_sizing.h"

namespace {
// Commands whose operations this program does not offer yet; their menu items stay grey.
constexpr int unavailableCommands[] = {cmdNew, cmdPaintView, cmdPreferences, cmdResize};
constexpr int panoramaCommands[] = {cmdSave, cmdSaveAs, cmdPaintView, cmdForward, cmdBack,
                                    cmdLeft, cmdRight, cmdUp, cmdDown};

bool unavailable(int id) {
    if ((id == cmdOpen || id == cmdSave || id == cmdSaveAs) && !documentCommandsAvailable()) return true;
    for (int c : unavailableCommands)
        if (c == id) return true;
    return false;
}
}  // namespace

MainWindow::MainWindow() : wxFrame(nullptr, wxID_ANY, "Domecast", wxDefaultPosition, wxDefaultSize,
                                   wxDEFAULT_FRAME_STYLE | wxCLIP_CHILDREN) {
    SetMenuBar(createMainMenu());
    view_ = new GLView(this, GLView::requestedAttributes());
    Bind(wxEVT_MENU, &MainWindow::onCommand, this);
    Bind(wxEVT_CHAR_HOOK, &MainWindow::onCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &MainWindow::onClose, this);
    for (int id : {cmdNew, cmdOpen, cmdPaintView, cmdPreferences, cmdResize})
        if (unavailable(id)) GetMenuBar()->Enable(menuId(id), false);
}

void MainWindow::showTitle() {
    std::string title;
    refreshTitle(title);
    SetTitle(wxString::FromUTF8(title));
}

void MainWindow::enablePanoramaCommands(bool enable) {
    for (int id : panoramaCommands) GetMenuBar()->Enable(menuId(id), enable && !unavailable(id));
}

void MainWindow::sizeForView(Size viewSize) {
    const WindowLimits limits = windowLimits();
    const Size client = clientSizeForView(viewSize, limits, true);
    const Size smallest = clientSizeForView({128, 128}, limits, false);
    SetMinClientSize(wxSize(smallest.width, smallest.height));
    if (GetClientSize() != wxSize(client.width, client.height)) SetClientSize(client.width, client.height);
}

void MainWindow::viewCommand(float heading, float pitch) {
    setWindowView(this, heading, pitch);
    view_->invalidateView();
}

void MainWindow::turnBy(float headingStep, float pitchStep) {
    setWindowView(this, app().windowHeading + headingStep, app().windowPitch + pitchStep);
    view_->invalidateView();
}

void MainWindow::onCharHook(wxKeyEvent& event) {
    const float step = 10 * degToRad;
    // The toolkit's accelerators would take this for Ctrl+D (Down).
    if (event.GetKeyCode() == 'D' && event.GetModifiers() == (wxMOD_CONTROL | wxMOD_SHIFT)) {
        command(cmdRuntimeDebugging);
        return;
    }
    switch (event.GetKeyCode()) {
    case WXK_HOME:
        app().windowHeading = 0;
        app().windowPitch = 0;
        showTitle();
        view_->invalidateView();
        return;
    case WXK_LEFT: turnBy(step, 0); return;
    case WXK_RIGHT: turnBy(-step, 0); return;
    case WXK_UP: turnBy(0, step); return;
    case WXK_DOWN: turnBy(0, -step); return;
    case WXK_F1: openHelp(this); return;
    default: event.Skip();
    }
}

void MainWindow::onCommand(wxCommandEvent& event) { command(commandOf(event.GetId())); }

void MainWindow::command(int id) {
    // An accelerator reaches here even when its menu item is grey.
    if (wxMenuItem* item = GetMenuBar()->FindItem(menuId(id)); item != nullptr && !item->IsEnabled()) return;
    const float quarter = 90 * degToRad;
    switch (id) {
    case cmdExit: Close(false); break;
    case cmdForward: viewCommand(0, 0); break;
    case cmdLeft: viewCommand(quarter, 0); break;
    case cmdRight: viewCommand(-quarter, 0); break;
    case cmdBack: viewCommand(180 * degToRad, 0); break;
    case cmdUp: viewCommand(0, quarter); break;
    case cmdDown: viewCommand(0, -quarter); break;
    case cmdAbout: showAboutBox(this); break;
    case cmdHelp: openHelp(this); break;
    case cmdRuntimeDebugging:
        setRuntimeDebugging(!runtimeDebugging());
        showMessage(runtimeDebugging() ? "Run-time debugging ON" : "Run-time debugging OFF");
        break;
    default: documentCommand(this, id); break;
    }
}

void MainWindow::onClose(wxCloseEvent& event) {
    if (!exitSequence() && event.CanVeto()) {
        event.Veto();
        return;
    }
    view_->tearDown();
    Destroy();
    // The window is deleted at the next idle time; a close from a signal must not wait
    // for the next input to get there.
    wxWakeUpIdle();
}

bool MainWindow::exitSequence() {
    Show(true);
    Raise();
    if (app().panorama && !confirmDiscard(this)) return false;
    if (!app().tempViewPath.empty()) {
        if (std::remove(app().tempViewPath.c_str()) != 0) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error deleting temporary file \"%.260s\"", app().tempViewPath.c_str());
            reportSystemError(text);
        }
        app().tempViewPath.clear();
    }
    app().quitRequested = 1;
    return true;
}
