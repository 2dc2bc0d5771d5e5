#pragma once

class wxWindow;

// The user manual and the support address.
inline constexpr char manualAddress[] = "https://domecast.quorla.example/manual/";
inline constexpr char supportAddress[] = "support@quorla.example";

// Opens DocPath/localName when that file exists and is not empty, else address, in the
// desktop's browser or mail program. 1 when something was opened, else 0.
int openDocument(wxWindow* window, const char* localName, const char* address);
// The user manual, or the system-error box when it cannot be opened.
void openHelp(wxWindow* window);
