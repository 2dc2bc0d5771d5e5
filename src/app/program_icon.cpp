#include "app/program_icon.h"

#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/toplevel.h>

#include "image/bgra_image.h"

namespace {
// A 32-bit picture from the resources as a wx image with alpha; invalid when missing.
wxImage iconImage(const char* name) {
    const BGRAImage picture(name, "TARGA32");
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return {};
    wxImage image(picture.width, picture.height);
    image.InitAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int y = 0; y < picture.height; ++y) {
        // The picture's rows run bottom-up, the wx image's top-down.
        const std::uint8_t* row = picture.pixels + static_cast<std::size_t>(picture.height - 1 - y) * picture.stride;
        for (int x = 0; x < picture.width; ++x, rgb += 3, ++alpha) {
            rgb[0] = row[4 * x + 2];
            rgb[1] = row[4 * x + 1];
            rgb[2] = row[4 * x];
            *alpha = row[4 * x + 3];
        }
    }
    return image;
}
}  // namespace

void setProgramIcon(wxTopLevelWindow* window) {
    wxIconBundle icons;
    for (const char* name : {"DomecastIcon", "DomecastIcon16"}) {
        const wxImage image = iconImage(name);
        if (!image.IsOk()) continue;
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(image));
        icons.AddIcon(icon);
    }
    if (!icons.IsEmpty()) window->SetIcons(icons);
}
