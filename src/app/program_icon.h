#pragma once

class wxTopLevelWindow;

// Gives the window the program's icon at 32 x 32 and 16 x 16.
void setProgramIcon(wxTopLevelWindow* window);
