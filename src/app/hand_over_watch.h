#pragma once

class MainWindow;

// Requests from second starts of the editor, taken on the toolkit's event loop: the
// window comes to the front and, for a file, runs the save prompt and opens it.
// Bound as soon as the link is open (this is the one running editor), so that a second
// start during start-up reaches it; taken from the loop once start-up has finished;
// stopped before the window goes and released once the loop has ended.
void bindHandOverSocket(MainWindow& window);
void startHandOverWatch();
void stopHandOverWatch();
void releaseHandOverWatch();
