#pragma once

class Shell;
class wxWindow;

// The "Domecast Preferences" dialog, modal: the paint program, the plug-in folder (where
// OK installs the plug-ins) and the plug-ins' rotation step. Owned by parent while it is
// shown, else by no window.
void preferencesDialog(wxWindow* parent, Shell& shell);
