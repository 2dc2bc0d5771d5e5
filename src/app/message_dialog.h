#pragma once

// Shows the system's message boxes as dialogs owned by the active window.
void installMessageDialogs();
