#pragma once
#include <string>

// Sends one diagnostic line (terminator included) to the viewer listening on the datagram
// socket debugPrintSocketName() in this user's socket folder (tools/domecast-debugview);
// without a listener the line is shown as a message.
void DebugPrint(const char* text);

// "DebugPrint.<uid>", or $DOMECAST_DEBUGPRINT_SOCKET when set.
std::string debugPrintSocketName();
