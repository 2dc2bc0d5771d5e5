#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/progress.h"

class wxProgressDialog;
class wxWindow;

// While it lives, the progress of opening, saving or converting a picture: once the work
// has run half a second a progress dialog with Cancel appears over parent; Cancel asks
// the work to stop, which leaves the panorama and the files as they were.
class ProgressWindow : public ProgressObserver {
public:
    ProgressWindow(wxWindow* parent, std::string text);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    bool progressed(double fraction) override;

private:
    wxWindow* parent_;
    std::string text_;
    std::optional<std::chrono::steady_clock::time_point> started_;
    std::unique_ptr<wxProgressDialog> dialog_;
    // What had the keyboard when the dialog came; the dialog's end gives it back, as the
    // toolkit leaves the focus nowhere after an application-modal dialog.
    wxWindow* focusBefore_ = nullptr;
    ProgressObserver* previous_;
    int shown_ = -1;
    bool cancelled_ = false;
};
