#pragma once

// "PCX File options", the Save-as options of the "QuakeII, Targa & PCX" layout: modal,
// ended only by OK. parent is a wxWindow (the format table knows no toolkit).
void showPCXOptionsDialog(void* parent);
