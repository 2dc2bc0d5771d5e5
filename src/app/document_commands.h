#pragma once
#include <string>

class MainWindow;
class PaintedSixImage;

// Whether this build offers opening and saving panoramas.
bool documentCommandsAvailable();
// Open, Save and Save As (command ids 40002 to 40004); other ids are ignored.
void documentCommand(MainWindow* window, int id);
// The save-changes prompt before the panorama is given up; false to keep it.
bool confirmDiscard(MainWindow* window);
// Reads the panorama file at path, its layout recognised from the name; throws
// ioException.
void loadDocument(MainWindow* window, PaintedSixImage& panorama, const std::string& path);
