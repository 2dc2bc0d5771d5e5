#pragma once

class wxWindow;

// The About box; its support button opens a mail to the support address.
void showAboutBox(wxWindow* parent);
