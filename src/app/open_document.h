#pragma once
#include <functional>
#include <string>

// The user manual and the support address.
inline constexpr char manualAddress[] = "https://domecast.quorla.example/manual/";
inline constexpr char supportAddress[] = "support@quorla.example";

// Opens DocPath/localName when that file exists and is not empty, else address (when
// the first cannot be opened), in the desktop's browser or mail program. Returns at
// once; the handler is watched on the event loop, and onFailure runs with the reason
// when neither could be opened. localName may be null.
void openDocument(const char* localName, const std::string& address,
                  std::function<void(const std::string& reason)> onFailure);
// The user manual, or the system-error box when it cannot be opened.
void openHelp();
