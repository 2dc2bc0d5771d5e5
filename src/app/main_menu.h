#pragma once
#include <wx/accel.h>
#include <wx/menu.h>

// The menu bar "Domecast": File, View, Help.
wxMenuBar* createMainMenu();
// The menu "PAINT_POPUP" the Paint button opens.
wxMenu* createPaintPopup();
// The accelerator table "Domecast".
wxAcceleratorTable createAccelerators();
