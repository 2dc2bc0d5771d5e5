#include "app/size_dialogs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valnum.h>
#include <wx/window.h>

#include "app/document_dialogs.h"
#include "shell/shell.h"
#include "shell/size_dialog_models.h"
#include "view/painted_six_image.h"

namespace {
// A dialog is owned by the main window only while that window is visible.
wxWindow* owner(wxWindow* parent) { return parent != nullptr && parent->IsShown() ? parent : nullptr; }

wxString utf8(const std::string& text) { return wxString::FromUTF8(text); }
std::string text(const wxTextCtrl* edit) { return edit->GetValue().utf8_string(); }

// A dialog that only its buttons end: the close box is vetoed and Escape does nothing.
void keepOpenUntilButton(wxDialog& dialog) {
    dialog.SetEscapeId(wxID_NONE);
    dialog.Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) {
        if (event.CanVeto()) event.Veto();
    });
    dialog.Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_ESCAPE) event.Skip();
    });
}

// Calls lostFocus when edit loses the focus, and lets the toolkit move the focus on.
template <typename F>
void onFocusLost(wxTextCtrl* edit, F lostFocus) {
    edit->Bind(wxEVT_KILL_FOCUS, [lostFocus](wxFocusEvent& event) {
        lostFocus();
        event.Skip();
    });
}

wxTextCtrl* numberEdit(wxWindow* parent, int id, const std::string& value) {
    auto* edit = new wxTextCtrl(parent, id, utf8(value), wxDefaultPosition, wxSize(70, -1));
    edit->SetMaxLength(5);
    return edit;
}
}  // namespace

bool chooseViewSize(wxWindow* parent, Size faceSize, Size suggested, float zoom, Size& out) {
    ChooseSizeModel model(faceSize, suggested, zoom);
    wxDialog dialog(owner(parent), wxID_ANY, "Domecast: Choose size");
    keepOpenUntilButton(dialog);

    auto* selectBox = new wxStaticBoxSizer(wxVERTICAL, &dialog, "Select a canvas size");
    wxWindow* selectParent = selectBox->GetStaticBox();
    auto* sizeRow = new wxBoxSizer(wxHORIZONTAL);
    auto* width = numberEdit(selectParent, 1039, model.widthText());
    auto* height = numberEdit(selectParent, 1040, model.heightText());
    auto* canvas = new wxStaticText(selectParent, 1042, utf8(model.canvasText()));
    sizeRow->Add(width, 0, wxALIGN_CENTER_VERTICAL);
    sizeRow->Add(new wxStaticText(selectParent, wxID_ANY, "x"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
    sizeRow->Add(height, 0, wxALIGN_CENTER_VERTICAL);
    sizeRow->Add(canvas, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 10);
    selectBox->Add(sizeRow, 0, wxALL, 6);
    auto* recalculate = new wxButton(selectParent, 1041, "Recalculate");
    selectBox->Add(recalculate, 0, wxALL, 6);

    auto* resultBox = new wxStaticBoxSizer(wxVERTICAL, &dialog, "Selected size will result in:");
    wxWindow* resultParent = resultBox->GetStaticBox();
    auto* fov = new wxStaticText(resultParent, 1043, utf8(model.fovText()));
    auto* total = new wxStaticText(resultParent, 1044, utf8(model.totalText()));
    resultBox->Add(fov, 0, wxALL, 6);
    resultBox->Add(total, 0, wxALL, 6);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(&dialog, 1038, "OK");
    auto* cancel = new wxButton(&dialog, 1037, "Cancel");
    buttons->Add(ok, 0, wxRIGHT, 6);
    buttons->Add(cancel);
    ok->SetDefault();

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(selectBox, 0, wxALL | wxEXPAND, 10);
    column->Add(resultBox, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
    column->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
    dialog.SetSizerAndFit(column);

    bool ready = false;  // the fields' own filling is no edit
    auto update = [&] {
        if (!ready) return;
        model.recalculate(text(width), text(height));
        canvas->SetLabel(utf8(model.canvasText()));
        fov->SetLabel(utf8(model.fovText()));
        total->SetLabel(utf8(model.totalText()));
        dialog.Layout();
    };
    onFocusLost(width, update);
    onFocusLost(height, update);
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
        switch (event.GetId()) {
        case 1041: update(); break;
        case 1038:
            // Enter in an edit reaches OK without a focus change.
            update();
            dialog.EndModal(1038);
            break;
        case 1037: dialog.EndModal(1037); break;
        default: event.Skip();
        }
    });
    ready = true;
    width->SetFocus();

    const int result = dialog.ShowModal();
    ready = false;  // focus changes while the dialog goes are no edits
    if (result != 1038) return false;
    out = model.canvas();
    return true;
}

std::unique_ptr<PaintedSixImage> newPanoramaDialog(wxWindow* parent, Shell& shell) {
    NewPanoramaModel model;
    wxDialog dialog(owner(parent), wxID_ANY, "New Panorama");
    keepOpenUntilButton(dialog);

    auto* createBox = new wxStaticBoxSizer(wxVERTICAL, &dialog, "Create empty");
    wxWindow* createParent = createBox->GetStaticBox();
    auto* sizeRow = new wxBoxSizer(wxHORIZONTAL);
    auto* size = new wxTextCtrl(createParent, 1044, utf8(model.sizeText()), wxDefaultPosition, wxSize(120, -1));
    auto* memory = new wxStaticText(createParent, 1026, utf8(model.memoryText()));
    sizeRow->Add(new wxStaticText(createParent, wxID_ANY, "Panorama Size:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    sizeRow->Add(size, 0, wxALIGN_CENTER_VERTICAL);
    sizeRow->Add(memory, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
    createBox->Add(sizeRow, 0, wxALL, 6);
    auto* newEmpty = new wxButton(createParent, NewPanoramaModel::newEmpty, "&New, Empty Panorama");
    createBox->Add(newEmpty, 0, wxALL, 6);
    newEmpty->SetDefault();

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(&dialog, NewPanoramaModel::openTemplate, "Open &Template..."), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(&dialog, NewPanoramaModel::cancel, "&Cancel"));

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(createBox, 0, wxALL | wxEXPAND, 10);
    column->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
    dialog.SetSizerAndFit(column);

    bool ready = false;  // the field's own filling is no edit
    auto sizeEdited = [&] {
        if (!ready) return;
        model.sizeFocusLost(text(size));
        size->ChangeValue(utf8(model.sizeText()));
        memory->SetLabel(utf8(model.memoryText()));
        dialog.Layout();
    };
    onFocusLost(size, sizeEdited);
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
        const int id = event.GetId();
        if (id != NewPanoramaModel::newEmpty && id != NewPanoramaModel::openTemplate && id != NewPanoramaModel::cancel) {
            event.Skip();
            return;
        }
        // Enter in the edit reaches the default button without a focus change.
        if (id == NewPanoramaModel::newEmpty && wxWindow::FindFocus() == size) sizeEdited();
        dialog.EndModal(id);
    });
    ready = true;
    size->SetFocus();

    const int result = dialog.ShowModal();
    ready = false;  // focus changes while the dialog goes are no edits
    WindowQuestions questions(parent);
    return newPanoramaResult(result, questions, shell.link());
}

void resizePanoramaDialog(wxWindow* parent, Shell& shell) {
    PaintedSixImage* panorama = shell.panorama();
    if (panorama == nullptr) return;
    ResizePanoramaModel model(panorama->faceSize(0));
    wxDialog dialog(owner(parent), wxID_ANY, "Resize Panorama");

    auto label = [](wxWindow* p, int id, const std::string& value) {
        return new wxStaticText(p, id, utf8(value));
    };

    auto* currentBox = new wxStaticBoxSizer(wxVERTICAL, &dialog, "Current Size");
    wxWindow* currentParent = currentBox->GetStaticBox();
    auto* currentGrid = new wxFlexGridSizer(3, 6, 6);
    auto* currentFaces = label(currentParent, 1072, model.currentFacesText());
    auto* currentFacesMemory = label(currentParent, 1082, model.currentFacesMemory());
    auto* currentSpherical = label(currentParent, 1073, model.currentSphericalText());
    auto* currentSphericalMemory = label(currentParent, 1081, model.currentSphericalMemory());
    currentGrid->Add(label(currentParent, wxID_ANY, "Size of cubic images:"));
    currentGrid->Add(currentFaces);
    currentGrid->Add(currentFacesMemory);
    currentGrid->Add(label(currentParent, wxID_ANY, "If saved as spherical:"));
    currentGrid->Add(currentSpherical);
    currentGrid->Add(currentSphericalMemory);
    currentBox->Add(currentGrid, 0, wxALL, 6);

    auto* newBox = new wxStaticBoxSizer(wxVERTICAL, &dialog, "New Size");
    wxWindow* newParent = newBox->GetStaticBox();
    auto* sizeRow = new wxBoxSizer(wxHORIZONTAL);
    auto* width = numberEdit(newParent, 1075, model.widthText());
    auto* height = numberEdit(newParent, 1078, model.heightText());
    auto* newFacesMemory = label(newParent, 1083, model.newFacesMemory());
    sizeRow->Add(label(newParent, wxID_ANY, "Size of cubic images:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    sizeRow->Add(width, 0, wxALIGN_CENTER_VERTICAL);
    sizeRow->Add(label(newParent, wxID_ANY, "x"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
    sizeRow->Add(height, 0, wxALIGN_CENTER_VERTICAL);
    sizeRow->Add(label(newParent, wxID_ANY, "x 6  ="), 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
    sizeRow->Add(newFacesMemory, 0, wxALIGN_CENTER_VERTICAL);
    newBox->Add(sizeRow, 0, wxALL, 6);
    auto* constrain = new wxCheckBox(newParent, 1079, "Constrain Proportions:");
    constrain->SetValue(true);
    newBox->Add(constrain, 0, wxALL, 6);
    auto* sphericalRow = new wxBoxSizer(wxHORIZONTAL);
    auto* newSpherical = label(newParent, 1074, model.newSphericalText());
    auto* newSphericalMemory = label(newParent, 1084, model.newSphericalMemory());
    sphericalRow->Add(label(newParent, wxID_ANY, "If saved as spherical:"), 0, wxRIGHT, 6);
    sphericalRow->Add(newSpherical, 0, wxRIGHT, 6);
    sphericalRow->Add(newSphericalMemory);
    newBox->Add(sphericalRow, 0, wxALL, 6);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(&dialog, ResizePanoramaModel::ok, "&OK");
    buttons->Add(ok, 0, wxRIGHT, 6);
    buttons->Add(new wxButton(&dialog, ResizePanoramaModel::cancel, "&Cancel"));
    ok->SetDefault();
    dialog.SetAffirmativeId(ResizePanoramaModel::ok);
    dialog.SetEscapeId(ResizePanoramaModel::cancel);

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(currentBox, 0, wxALL | wxEXPAND, 10);
    column->Add(newBox, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
    column->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
    dialog.SetSizerAndFit(column);

    auto showNew = [&] {
        width->ChangeValue(utf8(model.widthText()));
        height->ChangeValue(utf8(model.heightText()));
        newFacesMemory->SetLabel(utf8(model.newFacesMemory()));
        newSpherical->SetLabel(utf8(model.newSphericalText()));
        newSphericalMemory->SetLabel(utf8(model.newSphericalMemory()));
        dialog.Layout();
    };
    bool ready = true;
    auto widthEdited = [&] {
        if (!ready) return;
        model.widthFocusLost(text(width));
        showNew();
    };
    auto heightEdited = [&] {
        if (!ready) return;
        model.heightFocusLost(text(height));
        showNew();
    };
    onFocusLost(width, widthEdited);
    onFocusLost(height, heightEdited);
    constrain->Bind(wxEVT_CHECKBOX, [&](wxCommandEvent&) { model.setConstrained(constrain->GetValue()); });
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
        switch (event.GetId()) {
        case ResizePanoramaModel::ok:
            // Enter in an edit reaches OK without a focus change: the other side follows first.
            if (wxWindow::FindFocus() == width) widthEdited();
            if (wxWindow::FindFocus() == height) heightEdited();
            if (model.okPressed(text(width), text(height))) {
                dialog.EndModal(ResizePanoramaModel::ok);
            } else {
                showNew();
                constrain->SetValue(true);
                model.setConstrained(true);
            }
            break;
        case ResizePanoramaModel::cancel: dialog.EndModal(ResizePanoramaModel::cancel); break;
        default: event.Skip();
        }
    });
    width->SetFocus();

    const int result = dialog.ShowModal();
    ready = false;  // focus changes while the dialog goes are no edits
    if (result != ResizePanoramaModel::ok) return;
    WindowQuestions questions(parent);
    shell.resizePanorama(model.newSize(), questions);
}
