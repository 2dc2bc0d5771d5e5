#include "app/jpeg_options_dialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "shell/jpeg_options_model.h"

void showJpegOptionsDialog(void* parent) {
    JpegOptionsModel model;
    wxDialog dialog(static_cast<wxWindow*>(parent), wxID_ANY, "JPEG options");

    auto* qualityBox = new wxStaticBoxSizer(wxHORIZONTAL, &dialog, "Quality");
    wxWindow* qualityParent = qualityBox->GetStaticBox();
    auto* quality = new wxTextCtrl(qualityParent, wxID_ANY, wxString::FromUTF8(model.qualityText()),
                                   wxDefaultPosition, wxSize(50, -1), 0, wxTextValidator(wxFILTER_DIGITS));
    quality->SetMaxLength(3);
    auto* slider = new wxSlider(qualityParent, wxID_ANY, model.sliderPosition(), JpegOptionsModel::lowest,
                                JpegOptionsModel::highest, wxDefaultPosition, wxSize(200, -1), wxSL_HORIZONTAL);
    qualityBox->Add(quality, 0, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    qualityBox->Add(slider, 1, wxALIGN_CENTER_VERTICAL | wxALL, 4);

    auto* chromaBox = new wxStaticBoxSizer(wxHORIZONTAL, &dialog, "Colour sampling");
    wxString choices[] = {JpegOptionsModel::quarterChromaLabel, JpegOptionsModel::fullChromaLabel};
    auto* chroma = new wxChoice(chromaBox->GetStaticBox(), wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, choices);
    chroma->SetSelection(model.chromaChoice());
    chromaBox->Add(chroma, 1, wxALL, 4);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* defaults = new wxButton(&dialog, wxID_ANY, "Default");
    buttons->Add(defaults, 0, wxRIGHT, 8);
    buttons->AddStretchSpacer();
    auto* ok = new wxButton(&dialog, wxID_OK, "OK");
    ok->SetDefault();
    buttons->Add(ok, 0, wxRIGHT, 4);
    buttons->Add(new wxButton(&dialog, wxID_CANCEL, "Cancel"));

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(qualityBox, 0, wxALL | wxEXPAND, 8);
    column->Add(chromaBox, 0, wxLEFT | wxRIGHT | wxEXPAND, 8);
    column->Add(buttons, 0, wxALL | wxEXPAND, 8);
    dialog.SetSizerAndFit(column);

    auto show = [&] {
        if (slider->GetValue() != model.sliderPosition()) slider->SetValue(model.sliderPosition());
        if (quality->GetValue().utf8_string() != model.qualityText())
            quality->ChangeValue(wxString::FromUTF8(model.qualityText()));
        if (chroma->GetSelection() != model.chromaChoice()) chroma->SetSelection(model.chromaChoice());
    };
    slider->Bind(wxEVT_SLIDER, [&](wxCommandEvent&) {
        model.sliderMoved(slider->GetValue());
        show();
    });
    quality->Bind(wxEVT_TEXT, [&](wxCommandEvent&) {
        model.qualityTextEdited(quality->GetValue().utf8_string());
        show();
    });
    chroma->Bind(wxEVT_CHOICE, [&](wxCommandEvent&) { model.chromaChosen(chroma->GetSelection()); });
    defaults->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
        model.useDefaults();
        show();
    });
    if (dialog.ShowModal() == wxID_OK) model.ok();
}
