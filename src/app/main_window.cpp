#include "app/main_window.h"

#include <wx/app.h>

#include "app/about_dialog.h"
#include "app/command_groups.h"
#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/hand_over_watch.h"
#include "app/main_menu.h"
#include "app/open_document.h"
#include "app/paint_loop.h"
#include "platform/message.h"
#include "platform/report.h"
#include "shell/commands.h"
#include "shell/display.h"
#include "shell/window_sizing.h"

MainWindow::MainWindow()
    : wxFrame(nullptr, wxID_ANY, "Domecast", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE | wxCLIP_CHILDREN),
      shell_(this) {
    SetMenuBar(createMainMenu());
    view_ = new GLView(this, shell_, GLView::requestedAttributes());
    Bind(wxEVT_MENU, &MainWindow::onCommand, this);
    Bind(wxEVT_CHAR_HOOK, &MainWindow::onCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &MainWindow::onClose, this);
    commandsChanged();
}

MainWindow::~MainWindow() {
    delete view_;
    view_ = nullptr;
}

void MainWindow::titleChanged() { SetTitle(wxString::FromUTF8(shell_.title())); }

void MainWindow::commandsChanged() {
    wxMenuBar* menus = GetMenuBar();
    if (menus == nullptr) return;
    for (const CommandInfo& command : commandTable())
        if (menus->FindItem(menuId(command.id)) != nullptr) menus->Enable(menuId(command.id), shell_.commandEnabled(command.id));
    // Undo and Redo name the step they would take.
    if (menus->FindItem(menuId(cmdUndo)) != nullptr)
        menus->SetLabel(menuId(cmdUndo), wxString::FromUTF8(shell_.undoLabel()) + "\tCtrl+Z");
    if (menus->FindItem(menuId(cmdRedo)) != nullptr)
        menus->SetLabel(menuId(cmdRedo), wxString::FromUTF8(shell_.redoLabel()) + "\tCtrl+Shift+Z");
}

void MainWindow::viewChanged() {
    if (view_ != nullptr) view_->invalidateView();
}

void MainWindow::sizeForView(Size viewSize) {
    if (view_ == nullptr) return;
    const WindowLimits limits = view_->windowLimits();
    const Size client = clientSizeForView(viewSize, limits, true);
    // The panel's own minimum: below it the buttons would overlap the view.
    SetMinClientSize(wxSize(limits.minClient.width, limits.minClient.height));
    if (GetClientSize() != wxSize(client.width, client.height)) SetClientSize(client.width, client.height);
}

void MainWindow::onCharHook(wxKeyEvent& event) {
    // The toolkit's accelerators would take this for Ctrl+D (Down).
    if (event.GetKeyCode() == 'D' && event.GetModifiers() == (wxMOD_CONTROL | wxMOD_SHIFT)) {
        command(cmdRuntimeDebugging);
        return;
    }
    // Ctrl+Y is Redo's second key; the menu item carries only its first, and the window's
    // accelerator table is not consulted while no child has the focus (after a progress
    // window closed, say).
    if (event.GetKeyCode() == 'Y' && event.GetModifiers() == wxMOD_CONTROL) {
        command(cmdRedo);
        return;
    }
    if (viewKey(*this, event.GetKeyCode(), event.GetModifiers())) return;
    if (event.GetKeyCode() == WXK_F1) {
        openHelp();
        return;
    }
    event.Skip();
}

void MainWindow::onCommand(wxCommandEvent& event) { command(commandOf(event.GetId())); }

void MainWindow::command(int id) {
    // An accelerator reaches here even when its menu item is grey.
    const CommandInfo* info = findCommand(id);
    if (info == nullptr || !shell_.commandEnabled(id)) return;
    switch (info->group) {
    case CommandGroup::documents: documentCommand(*this, id); return;
    case CommandGroup::edit: editCommand(*this, id); return;
    case CommandGroup::view: viewCommand(*this, id); return;
    case CommandGroup::paint: paintCommand(*this, id); return;
    case CommandGroup::dialogs: dialogCommand(*this, id); return;
    case CommandGroup::preferences: preferenceCommand(*this, id); return;
    case CommandGroup::program: break;
    }
    switch (id) {
    case cmdExit: Close(false); break;
    case cmdAbout: showAboutBox(this); break;
    case cmdHelp: openHelp(); break;
    case cmdRuntimeDebugging:
        setRuntimeDebugging(!runtimeDebugging());
        showMessage(runtimeDebugging() ? "Run-time debugging ON" : "Run-time debugging OFF");
        break;
    default: break;
    }
}

void MainWindow::endForSession() {
    if (shell_.saveForRecovery()) closingQuietly_ = true;
    Close(false);
}

void MainWindow::onClose(wxCloseEvent& event) {
    if (closingQuietly_)
        shell_.endSessionQuietly();
    else if (!exitSequence() && event.CanVeto()) {
        event.Veto();
        return;
    }
    stopPaintLoop();
    stopHandOverWatch();
    view_->tearDown();
    Destroy();
    // The window is deleted at the next idle time; a close from a signal must not wait
    // for the next input to get there.
    wxWakeUpIdle();
}

bool MainWindow::exitSequence() {
    Show(true);
    Raise();
    WindowQuestions questions(this);
    return shell_.exitSequence(questions);
}
