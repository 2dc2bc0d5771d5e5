#pragma once
#include <string>

struct sockaddr_un;

// Sends one diagnostic line (terminator included) to the viewer listening on the abstract
// datagram socket debugPrintSocketName() (tools/domecast-debugview); without a listener
// the line is shown as a message.
void DebugPrint(const char* text);

// "DebugPrint.<uid>", or $DOMECAST_DEBUGPRINT_SOCKET when set.
std::string debugPrintSocketName();

// Fills an abstract-namespace address for name; returns the address length to pass on.
unsigned abstractSocketAddress(const std::string& name, sockaddr_un& address);
