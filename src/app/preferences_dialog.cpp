#include "app/preferences_dialog.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>

#include "shell/preferences_model.h"

namespace {
constexpr int okId = 1045;
constexpr int cancelId = 1046;
constexpr int paintAppId = 1047;
constexpr int pluginPathId = 1048;
constexpr int rotationId = 1049;
constexpr int browsePaintId = 1050;
constexpr int browsePluginId = 1051;
constexpr int useGimpFolderId = 1052;
constexpr int useKritaFolderId = 1053;

std::string utf8(const wxString& text) { return std::string(text.utf8_str()); }

class PreferencesDialog : public wxDialog {
public:
    explicit PreferencesDialog(wxWindow* parent);

private:
    void browsePaintProgram();
    void browsePluginFolder();
    void showGimpOffer();
    void takeTexts();
    void onOk();

    PreferencesModel model_;
    wxTextCtrl* paintApp_;
    wxTextCtrl* pluginPath_;
    wxTextCtrl* rotation_;
    wxButton* useGimpFolder_;
    wxButton* useKritaFolder_;
};

PreferencesDialog::PreferencesDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Domecast Preferences") {
    auto* column = new wxBoxSizer(wxVERTICAL);

    auto* paintBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Paint Program");
    paintApp_ = new wxTextCtrl(paintBox->GetStaticBox(), paintAppId, wxString::FromUTF8(model_.paintApp),
                               wxDefaultPosition, wxSize(360, -1));
    paintBox->Add(paintApp_, 1, wxALL | wxALIGN_CENTER_VERTICAL, 5);
    paintBox->Add(new wxButton(paintBox->GetStaticBox(), browsePaintId, "Browse"), 0, wxALL, 5);
    column->Add(paintBox, 0, wxALL | wxEXPAND, 8);

    auto* pluginBox = new wxStaticBoxSizer(wxVERTICAL, this, "Plugin Path");
    auto* pluginRow = new wxBoxSizer(wxHORIZONTAL);
    pluginPath_ = new wxTextCtrl(pluginBox->GetStaticBox(), pluginPathId, wxString::FromUTF8(model_.pluginPath),
                                 wxDefaultPosition, wxSize(360, -1));
    pluginRow->Add(pluginPath_, 1, wxALL | wxALIGN_CENTER_VERTICAL, 5);
    pluginRow->Add(new wxButton(pluginBox->GetStaticBox(), browsePluginId, "Browse"), 0, wxALL, 5);
    pluginBox->Add(pluginRow, 0, wxEXPAND);
    useGimpFolder_ = new wxButton(pluginBox->GetStaticBox(), useGimpFolderId, "Use GIMP's folder");
    pluginBox->Add(useGimpFolder_, 0, wxALL, 5);
    // Krita's plug-in has a folder of its own, apart from "PluginPath": chosen here, it is
    // installed at OK.
    useKritaFolder_ = new wxButton(pluginBox->GetStaticBox(), useKritaFolderId, "Use Krita's folder");
    pluginBox->Add(useKritaFolder_, 0, wxALL, 5);
    column->Add(pluginBox, 0, wxLEFT | wxRIGHT | wxEXPAND, 8);

    auto* rotationBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Plugin Left/Right/Up/Down Rotation");
    rotation_ = new wxTextCtrl(rotationBox->GetStaticBox(), rotationId, wxString::FromUTF8(model_.rotation),
                               wxDefaultPosition, wxSize(80, -1));
    rotationBox->Add(rotation_, 0, wxALL | wxALIGN_CENTER_VERTICAL, 5);
    rotationBox->Add(new wxStaticText(rotationBox->GetStaticBox(), wxID_ANY, "degrees"), 0,
                     wxALL | wxALIGN_CENTER_VERTICAL, 5);
    column->Add(rotationBox, 0, wxALL | wxEXPAND, 8);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, okId, "&OK");
    ok->SetDefault();
    buttons->Add(ok, 0, wxALL, 5);
    buttons->Add(new wxButton(this, cancelId, "&Cancel"), 0, wxALL, 5);
    column->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 3);

    SetEscapeId(cancelId);
    useGimpFolder_->Show(!model_.gimpFolderOffered().empty());
    useKritaFolder_->Show(!model_.kritaFolderOffered().empty());
    SetSizerAndFit(column);

    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onOk(); }, okId);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(cancelId); }, cancelId);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { browsePaintProgram(); }, browsePaintId);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { browsePluginFolder(); }, browsePluginId);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        pluginPath_->ChangeValue(wxString::FromUTF8(model_.gimpFolderOffered()));
        showGimpOffer();
    }, useGimpFolderId);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        model_.useKrita = true;
        useKritaFolder_->SetLabel(wxString::FromUTF8("The Krita plug-in goes into " + model_.kritaFolderOffered()));
        useKritaFolder_->Disable();
        GetSizer()->SetSizeHints(this);
        Layout();
    }, useKritaFolderId);
    pluginPath_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { showGimpOffer(); });
    paintApp_->SetFocus();
}

void PreferencesDialog::takeTexts() {
    model_.paintApp = utf8(paintApp_->GetValue());
    model_.pluginPath = utf8(pluginPath_->GetValue());
    model_.rotation = utf8(rotation_->GetValue());
}

void PreferencesDialog::showGimpOffer() {
    model_.pluginPath = utf8(pluginPath_->GetValue());
    if (!useGimpFolder_->Show(!model_.gimpFolderOffered().empty())) return;
    GetSizer()->SetSizeHints(this);
    Layout();
}

void PreferencesDialog::browsePaintProgram() {
    model_.paintApp = utf8(paintApp_->GetValue());
    wxString folder = wxString::FromUTF8(model_.paintBrowseFolder());
    wxString name = wxString::FromUTF8(model_.paintBrowseFileName());
    // A file that cannot be started is refused, and the browser opens again on it.
    for (;;) {
        wxFileDialog browser(this, "Select Paint Program", folder, name, "Executable Files|*",
                             wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (browser.ShowModal() != wxID_OK) return;
        const std::string chosen = utf8(browser.GetPath());
        if (model_.paintProgramChosen(chosen)) {
            paintApp_->ChangeValue(wxString::FromUTF8(model_.paintApp));
            return;
        }
        folder = browser.GetDirectory();
        name = browser.GetFilename();
    }
}

void PreferencesDialog::browsePluginFolder() {
    wxDirDialog browser(this, "Select Plugin Path", pluginPath_->GetValue());
    if (browser.ShowModal() != wxID_OK) return;
    pluginPath_->SetValue(browser.GetPath());
}

void PreferencesDialog::onOk() {
    takeTexts();
    if (model_.ok()) EndModal(okId);
}
}  // namespace

void preferencesDialog(wxWindow* parent, Shell&) {
    PreferencesDialog dialog(parent != nullptr && parent->IsShown() ? parent : nullptr);
    dialog.CentreOnParent();
    dialog.ShowModal();
}
