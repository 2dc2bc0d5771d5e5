#include "app/pcx_options_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "shell/pcx_options_model.h"

namespace {
enum ControlId { okId = 1, browseId = 1001, resizeId = 1002, defaultId = 1004, colormapId = 1005,
                 sliderId = 1006, noneId = 1009, fullId = 1010, ditherId = 1014 };

wxString utf8(const std::string& text) { return wxString::FromUTF8(text); }
}  // namespace

void showPCXOptionsDialog(void* parent) {
    PCXOptionsModel model;
    // No close box: OK is the only way out.
    wxDialog dialog(static_cast<wxWindow*>(parent), wxID_ANY, "PCX File options", wxDefaultPosition,
                    wxDefaultSize, wxCAPTION);
    dialog.SetEscapeId(wxID_NONE);
    dialog.Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) {
        if (event.CanVeto()) event.Veto();
    });
    dialog.Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_ESCAPE) event.Skip();
    });

    auto* colormapBox = new wxStaticBoxSizer(wxHORIZONTAL, &dialog, "Colormap");
    wxWindow* colormapParent = colormapBox->GetStaticBox();
    auto* colormap = new wxStaticText(colormapParent, colormapId, utf8(model.colormapLabel()), wxDefaultPosition,
                                      wxSize(140, -1), wxST_ELLIPSIZE_START);
    colormapBox->Add(colormap, 1, wxALIGN_CENTER_VERTICAL | wxALL, 6);
    colormapBox->Add(new wxButton(colormapParent, browseId, "Browse..."), 0, wxALL, 4);
    colormapBox->Add(new wxButton(colormapParent, defaultId, "Default"), 0, wxALL, 4);

    auto* ditherBox = new wxStaticBoxSizer(wxHORIZONTAL, &dialog, "Dithering control");
    wxWindow* ditherParent = ditherBox->GetStaticBox();
    auto* dither = new wxTextCtrl(ditherParent, ditherId, utf8(model.ditherText()), wxDefaultPosition,
                                  wxSize(50, -1), 0, wxTextValidator(wxFILTER_DIGITS));
    dither->SetMaxLength(3);
    auto* slider = new wxSlider(ditherParent, sliderId, model.sliderPosition(), PCXOptionsModel::lowest,
                                PCXOptionsModel::highest, wxDefaultPosition, wxSize(150, -1), wxSL_HORIZONTAL);
    slider->SetLineSize(1);
    slider->SetPageSize(10);
    ditherBox->Add(new wxButton(ditherParent, noneId, "None"), 0, wxALL, 4);
    ditherBox->Add(dither, 0, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    ditherBox->Add(slider, 1, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    ditherBox->Add(new wxButton(ditherParent, fullId, "Full"), 0, wxALL, 4);

    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    auto* resize = new wxCheckBox(&dialog, resizeId, "Resize to 256x256");
    resize->SetValue(model.resize());
    auto* ok = new wxButton(&dialog, okId, "OK");
    ok->SetDefault();
    bottom->Add(resize, 1, wxALIGN_CENTER_VERTICAL);
    bottom->Add(ok);

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(colormapBox, 0, wxALL | wxEXPAND, 8);
    column->Add(ditherBox, 0, wxLEFT | wxRIGHT | wxEXPAND, 8);
    column->Add(bottom, 0, wxALL | wxEXPAND, 8);
    dialog.SetSizerAndFit(column);

    auto showDither = [&] {
        if (slider->GetValue() != model.sliderPosition()) slider->SetValue(model.sliderPosition());
        if (dither->GetValue().utf8_string() != model.ditherText()) dither->ChangeValue(utf8(model.ditherText()));
    };
    slider->Bind(wxEVT_SLIDER, [&](wxCommandEvent&) {
        model.sliderMoved(slider->GetValue());
        showDither();
    });
    dither->Bind(wxEVT_TEXT, [&](wxCommandEvent&) {
        model.ditherTextEdited(dither->GetValue().utf8_string());
        showDither();
    });
    resize->Bind(wxEVT_CHECKBOX, [&](wxCommandEvent&) { model.setResize(resize->GetValue()); });
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
        switch (event.GetId()) {
        case noneId: model.none(); showDither(); break;
        case fullId: model.full(); showDither(); break;
        case defaultId:
            model.useBuiltinColormap();
            colormap->SetLabel(utf8(model.colormapLabel()));
            break;
        case browseId: {
            wxFileDialog browse(&dialog, "Use colormap...", utf8(model.browseFolder()),
                                utf8(model.browseFileName()), "Colormap files (*.pal *.act)|*.act;*.pal",
                                wxFD_OPEN | wxFD_FILE_MUST_EXIST);
            if (browse.ShowModal() == wxID_OK) {
                model.colormapChosen(browse.GetPath().utf8_string());
                colormap->SetLabel(utf8(model.colormapLabel()));
            }
            break;
        }
        case okId:
            model.ok();
            dialog.EndModal(okId);
            break;
        default: event.Skip();
        }
    });
    ok->SetFocus();
    dialog.ShowModal();
}
