#pragma once
#include <wx/frame.h>

#include "platform/image_types.h"
#include "shell/shell.h"

class GLView;

// The one top-level window: menus, title, keys and commands around the GL view. It owns
// the shell and shows what the shell tells it.
class MainWindow : public wxFrame, private ShellListener {
public:
    MainWindow();
    // The view goes before the shell it draws.
    ~MainWindow() override;

    Shell& shell() { return shell_; }
    GLView* view() const { return view_; }
    // Sizes the window so that its view area has viewSize, within the panel's limits.
    void sizeForView(Size viewSize);
    // The exit sequence; false when the user chose to stay.
    bool exitSequence();
    // The session ends under the editor (a logout or shutdown): unsaved changes go to a
    // recovery set and the window closes without a prompt. When the set cannot be written,
    // the ordinary exit sequence asks instead, so nothing is lost silently.
    void endForSession();

private:
    void titleChanged() override;
    void commandsChanged() override;
    void viewChanged() override;

    void onCommand(wxCommandEvent& event);
    void command(int id);
    void onCharHook(wxKeyEvent& event);
    void onClose(wxCloseEvent& event);

    Shell shell_;
    GLView* view_ = nullptr;
    bool closingQuietly_ = false;  // the changes were kept for recovery: no save prompt
};
