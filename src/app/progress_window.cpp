#include "app/progress_window.h"

#include <wx/progdlg.h>

namespace {
// Work shorter than this shows no dialog at all.
constexpr std::chrono::milliseconds quietTime{500};
}  // namespace

ProgressWindow::ProgressWindow(wxWindow* parent, std::string text)
    : parent_(parent), text_(std::move(text)), previous_(setProgressObserver(this)) {}

ProgressWindow::~ProgressWindow() {
    setProgressObserver(previous_);
    if (!dialog_) return;
    dialog_.reset();
    if (focusBefore_ != nullptr)
        focusBefore_->SetFocus();
    else if (parent_ != nullptr)
        parent_->SetFocus();
}

bool ProgressWindow::progressed(double fraction) {
    if (cancelled_) return false;
    const int percent = static_cast<int>(fraction * 100);
    if (!dialog_) {
        // Counted from the first report, not from the file dialogs before the work.
        const auto now = std::chrono::steady_clock::now();
        if (!started_) started_ = now;
        if (now - *started_ < quietTime) return true;
        focusBefore_ = wxWindow::FindFocus();
        dialog_ = std::make_unique<wxProgressDialog>("Domecast", wxString::FromUTF8(text_), 100, parent_,
                                                     wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME);
    }
    // Update lets the dialog handle its Cancel button; only a change of the figure is
    // drawn, so rows that come fast cost nothing.
    if (percent != shown_) {
        shown_ = percent;
        if (!dialog_->Update(std::min(percent, 99))) cancelled_ = true;
    } else if (!dialog_->WasCancelled()) {
        // Keeps Cancel answering while one step stays on the same figure.
        wxYieldIfNeeded();
    }
    cancelled_ = cancelled_ || dialog_->WasCancelled();
    return !cancelled_;
}
