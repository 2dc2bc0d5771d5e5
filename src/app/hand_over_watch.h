#pragma once

class MainWindow;

// Requests from second starts of the editor, taken on the toolkit's event loop: the
// window comes to the front and, for a file, runs the save prompt and opens it. Started
// once the link is open (this is the one running editor), stopped before the window goes.
void startHandOverWatch(MainWindow& window);
void stopHandOverWatch();
