#pragma once
#include <wx/accel.h>
#include <wx/menu.h>

#include <string>

// The menu bar "Domecast": File, View, Help.
wxMenuBar* createMainMenu();
// One line per item, "menu<TAB>item<TAB>accelerator", the texts as the toolkit shows
// them (mnemonics removed, the accelerator in the toolkit's own words, empty for none).
std::string describeMenus(const wxMenuBar& bar);
// The menu "PAINT_POPUP" the Paint button opens.
wxMenu* createPaintPopup();
// The accelerator table "Domecast".
wxAcceleratorTable createAccelerators();
