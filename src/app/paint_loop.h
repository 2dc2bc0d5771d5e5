#pragma once

class MainWindow;

// The paint round trip on the toolkit's event loop: the link's bell and the peer's end
// as sources of the loop, the modal dialogs that hold steps back, and the window states
// the round trip asks for. Started once the link is open, stopped before the window goes.
void startPaintLoop(MainWindow& window);
void stopPaintLoop();
// After a command that may have started a transfer or a paint program.
void syncPaintLoop();
