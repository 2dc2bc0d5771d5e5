#include "app/document_dialogs.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/filedlgcustomize.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "panorama/format_table.h"
#include "platform/message.h"

namespace {
// The Save-as dialog's "Options..." button, enabled for the layouts that have options.
class SaveOptionsHook : public wxFileDialogCustomizeHook {
public:
    explicit SaveOptionsHook(const wxFileDialog& dialog) : dialog_(dialog) {}

    void AddCustomControls(wxFileDialogCustomize& customizer) override {
        button_ = customizer.AddButton("Options...");
        button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            const OptionsDialog* options = optionsOf(selectedRow());
            if (options != nullptr) (*options)(const_cast<wxFileDialog*>(&dialog_));
        });
        UpdateCustomControls();
    }

    void UpdateCustomControls() override {
        if (button_ != nullptr) button_->Enable(optionsOf(selectedRow()) != nullptr);
    }

private:
    int selectedRow() const {
        const int current = dialog_.GetCurrentlySelectedFilterIndex();
        return current >= 0 ? current : dialog_.GetFilterIndex();
    }
    static const OptionsDialog* optionsOf(int row) {
        if (!formatTable().validSaveRow(row)) return nullptr;
        const OptionsDialog* options = formatTable().saveRow(row).optionsDialog;
        return options != nullptr && *options != nullptr ? options : nullptr;
    }

    const wxFileDialog& dialog_;
    wxFileDialogButton* button_ = nullptr;
};

std::optional<FileChoice> chosen(const wxFileDialog& dialog) {
    return FileChoice{dialog.GetPath().utf8_string(), dialog.GetFilterIndex()};
}
}  // namespace

WindowQuestions::WindowQuestions(wxWindow* parent) : parent_(parent) {}

WindowQuestions::~WindowQuestions() {
    while (waitDepth_ > 0) endWait();
}

std::optional<FileChoice> WindowQuestions::chooseSaveFile(const std::string& folder, int type) {
    wxFileDialog dialog(parent_, "Save As", wxString::FromUTF8(folder), wxEmptyString,
                        wxString::FromUTF8(formatTable().saveFilter()), wxFD_SAVE);
    dialog.SetFilterIndex(formatTable().validSaveRow(type) ? type : 0);
    SaveOptionsHook hook(dialog);
    dialog.SetCustomizeHook(hook);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return chosen(dialog);
}

std::optional<FileChoice> WindowQuestions::chooseOpenFile(const std::string& folder, int type) {
    wxFileDialog dialog(parent_, "Open", wxString::FromUTF8(folder), wxEmptyString,
                        wxString::FromUTF8(formatTable().openFilter()), wxFD_OPEN);
    dialog.SetFilterIndex(formatTable().validOpenRow(type) ? type : 0);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return chosen(dialog);
}

std::optional<int> WindowQuestions::askFieldOfView(int proposed) {
    wxWindow* owner = parent_ != nullptr && parent_->IsShown() ? parent_ : nullptr;
    wxDialog dialog(owner, wxID_ANY, "Vertical Field of View");
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(&dialog, wxID_ANY, "Vertical field of view of the cylinder, in degrees:"), 0,
                wxALL, 10);
    auto* field = new wxTextCtrl(&dialog, wxID_ANY, wxString::Format("%d", proposed));
    field->SetMaxLength(7);
    column->Add(field, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
    column->Add(dialog.CreateButtonSizer(wxOK | wxCANCEL), 0, wxALL | wxEXPAND, 10);
    dialog.SetSizerAndFit(column);
    // The number opens selected and focused: typing replaces it, Return accepts it. Once
    // more after the dialog is shown, where the toolkit moves the focus and the selection.
    const auto selectNumber = [field] {
        field->SetFocus();
        field->SelectAll();
    };
    dialog.Bind(wxEVT_INIT_DIALOG, [&dialog, selectNumber](wxInitDialogEvent& event) {
        event.Skip();
        selectNumber();
        dialog.CallAfter(selectNumber);
    });
    int accepted = proposed;
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
        if (event.GetId() != wxID_OK) {
            event.Skip();
            return;
        }
        const int degrees = readFieldOfView(field->GetValue().utf8_string());
        if (!fieldOfViewAccepted(degrees)) {
            ::showMessage(fieldOfViewRangeMessage);
            return;
        }
        accepted = degrees;
        dialog.EndModal(wxID_OK);
    });
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    proposedFov = accepted;
    return accepted;
}

MessageAnswer WindowQuestions::askSaveChanges(const std::string& text, const std::string& caption) {
    return ::showMessage(text, caption, MessageStyle::yesNoCancel);
}

bool WindowQuestions::askReplaceReadOnly(const std::string& text) {
    return ::showMessage(text, programCaption(), MessageStyle::yesNo) == MessageAnswer::yes;
}

void WindowQuestions::showMessage(const std::string& text) { ::showMessage(text); }

bool WindowQuestions::confirm(const std::string& text) {
    return ::showMessage(text, "Domecast", MessageStyle::okCancel) == MessageAnswer::ok;
}

void WindowQuestions::beginWait() {
    ++waitDepth_;
    wxBeginBusyCursor();
}

void WindowQuestions::endWait() {
    if (waitDepth_ == 0) return;
    --waitDepth_;
    wxEndBusyCursor();
}
