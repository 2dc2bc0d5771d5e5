#pragma once

// Sends one diagnostic line to the "DebugPrint.<uid>" viewer (tools/domecast-debugview);
// without a listener the line is shown as a message.
void DebugPrint(const char* text);
