#include "app/about_dialog.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <string>

#include "app/open_document.h"
#include "image/bgr_image.h"

namespace {
constexpr int versionTextId = 1063;
constexpr int creditsTextId = 1064;
constexpr int manualButtonId = 1065;
constexpr int licenceTextId = 1066;
// As the AppStream file declares it; the project has no web address of its own.
constexpr char licenceText[] = "Proprietary software: all rights reserved.";
constexpr double version = 1.10;

// The logo from the program's resources, as a wx bitmap; invalid when there is none.
wxBitmap logoBitmap() {
    const RawImage logo("161", "BITMAP24");
    if (logo.pixels == nullptr || logo.width <= 0 || logo.height <= 0) return {};
    wxImage image(logo.width, logo.height);
    unsigned char* rgb = image.GetData();
    for (int y = 0; y < logo.height; ++y) {
        const std::uint8_t* row = logo.row(logo.height - 1 - y);  // BMP rows run bottom-up
        for (int x = 0; x < logo.width; ++x, rgb += 3) {
            rgb[0] = row[3 * x + 2];
            rgb[1] = row[3 * x + 1];
            rgb[2] = row[3 * x];
        }
    }
    return wxBitmap(image);
}
}  // namespace

std::string versionText() {
    char text[64];
    std::snprintf(text, sizeof text, "%s %.2f", "Domecast", version);
    return text;
}

void showAboutBox(wxWindow* parent) {
    wxDialog dialog(parent, wxID_ANY, "About Domecast");
    auto* column = new wxBoxSizer(wxVERTICAL);
    if (const wxBitmap logo = logoBitmap(); logo.IsOk())
        column->Add(new wxStaticBitmap(&dialog, wxID_ANY, logo), 0, wxALL | wxALIGN_CENTER, 10);

    column->Add(new wxStaticText(&dialog, versionTextId, versionText()), 0, wxLEFT | wxRIGHT | wxTOP, 10);

    auto* credits = new wxStaticText(&dialog, creditsTextId,
                                     "JFIF image format support based in part on the work of the Independent JPEG "
                                     "Group. PNG image format support based in part on the work of the developers "
                                     "of libpng and zlib.");
    wxFont small = dialog.GetFont();
    small.SetNumericWeight(300);
    small.SetFractionalPointSize(small.GetFractionalPointSize() * 3 / 4);
    credits->SetFont(small);
    credits->Wrap(360);
    column->Add(credits, 0, wxALL, 10);

    column->Add(new wxStaticText(&dialog, licenceTextId, licenceText), 0, wxLEFT | wxRIGHT, 10);
    column->Add(new wxButton(&dialog, manualButtonId, "User Manual"), 0, wxALL, 10);
    column->Add(new wxButton(&dialog, wxID_OK, "OK"), 0, wxALL | wxALIGN_RIGHT, 10);
    dialog.SetSizerAndFit(column);
    dialog.Bind(wxEVT_BUTTON, [&dialog](wxCommandEvent& event) { dialog.EndModal(event.GetId()); });

    if (dialog.ShowModal() == manualButtonId) openHelp();
}
