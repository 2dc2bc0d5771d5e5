#pragma once
#include <wx/frame.h>

#include "platform/image_types.h"

class GLView;

// The one top-level window: menus, title, keys and commands around the GL view.
class MainWindow : public wxFrame {
public:
    MainWindow();

    GLView* view() const { return view_; }
    // Sets the window text from refreshTitle.
    void showTitle();
    void enablePanoramaCommands(bool enable);
    // Sizes the window so that its view area has viewSize, within the panel's limits.
    void sizeForView(Size viewSize);
    // The exit sequence; false when the user chose to stay.
    bool exitSequence();

private:
    void onCommand(wxCommandEvent& event);
    void command(int id);
    void onCharHook(wxKeyEvent& event);
    void onClose(wxCloseEvent& event);
    void viewCommand(float heading, float pitch);
    void turnBy(float headingStep, float pitchStep);

    GLView* view_ = nullptr;
};
