// The layouts, in the order the file dialogs list them. The two read-only
// cylinder rows come last, so an open row and the save row of its layout share an index.
#include "image/bmp.h"
#include "image/jpeg.h"
#include "image/pcx_tga.h"
#include "image/png.h"
#include "image/tga.h"
#include "panorama/format_table.h"

namespace {

FormatTable buildTable() {
    FormatTable table;
    table.addRow("*_FR.tga", "*_FR.tga", nullptr, "3DStudio, Targa", LoadTGA, SaveTGA, nullptr, ThreeDStudio);
    table.addRow("*ft.tga", "*ft.tga", nullptr, "QuakeII, Targa", LoadTGA, SaveTGA, nullptr, QuakeSky);
    table.addRow("*ft.pcx;*ft.tga", "*ft.pcx;*ft.tga", nullptr, "QuakeII, Targa & PCX", LoadPCXOrTGA,
                 SavePCXAndTGA, &pcxOptionsDialog, QuakeSky);
    table.addRow("*_FR.png", "*.wrl", ".png", "VRML Background, PNG", LoadPNG, SavePNG, nullptr, VrmlBackground);
    table.addRow("*_FR.jpg", "*.wrl", ".jpg", "VRML Background, JPEG", LoadJPEG, SaveJPEG, &jpegOptionsDialog,
                 VrmlBackground);
    table.addRow("*_FR.jpg", "*.ivr", ".jpg", "LivePicture Background, JPEG", LoadJPEG, SaveJPEG, &jpegOptionsDialog,
                 IvrBackground);
    table.addRow("*_FR.bmp", "*.ivr", ".bmp", "LivePicture Background, BMP", LoadBMP, SaveBMP, nullptr,
                 IvrBackground);
    table.addRow("*.jpg", "*.ivr", ".jpg", "LivePicture, SPHERE/CYLINDER, JPEG", LoadJPEG, SaveJPEG, &jpegOptionsDialog,
                 IvrSphere);
    table.addRow("*.bmp", "*.ivr", ".bmp", "LivePicture, SPHERE/CYLINDER, BMP", LoadBMP, SaveBMP, nullptr,
                 IvrSphere);
    table.addRow("*.jpg", "*.ivr", ".jpg", "LivePicture, CUBE, JPEG", LoadJPEG, SaveJPEG, &jpegOptionsDialog,
                 IvrCubeStrip);
    table.addRow("*.bmp", "*.ivr", ".bmp", "LivePicture, CUBE, BMP", LoadBMP, SaveBMP, nullptr, IvrCubeStrip);
    table.addRow("*.bmp", nullptr, nullptr, "Bryce/QTVR, BMP", LoadBMP, nullptr, nullptr, BryceCylinder);
    table.addRow("*.bmp", nullptr, nullptr, "QuickTimeVR, BMP", LoadBMP, nullptr, nullptr, QtvrCylinder);
    // Added after the read-only rows, so that every older index keeps its meaning; from
    // here on an open row and its save row have different indices.
    table.addRow("*.jpg", "*.jpg", nullptr, "Spherical photo, JPEG", LoadJPEG, SaveJPEG, nullptr, SphericalPhoto);
    table.addRow("*.png", "*.png", nullptr, "Spherical photo, PNG", LoadPNG, SavePNG, nullptr, SphericalPhoto);
    table.addRow("*_ft.jpg", "*_ft.jpg", nullptr, "Sky box, JPEG", LoadJPEG, SaveJPEG, &jpegOptionsDialog, SkyBox);
    table.addRow("*_ft.png", "*_ft.png", nullptr, "Sky box, PNG", LoadPNG, SavePNG, nullptr, SkyBox);
    // Open only: the scene file leads to the pictures and the row that reads them.
    table.addRow("*.wrl", nullptr, nullptr, "VRML Background, scene file", nullptr, nullptr, nullptr, SceneFile);
    table.addRow("*.ivr", nullptr, nullptr, "LivePicture, scene file", nullptr, nullptr, nullptr, SceneFile);
    table.addRow("*.html", "*.html", ".jpg", "Web page, cube faces", LoadJPEG, SaveJPEG, nullptr, WebPage);
    return table;
}

// Built during static initialisation, before main runs.
[[maybe_unused]] const FormatTable& builtAtStart = formatTable();

}  // namespace

const FormatTable& formatTable() {
    static const FormatTable table = buildTable();
    return table;
}
