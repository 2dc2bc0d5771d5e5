#pragma once
#include <ctime>
#include <memory>
#include <string>

#include "link/paint_link.h"
#include "view/painted_six_image.h"

class MainWindow;

// What the application shell owns while it runs.
struct AppState {
    std::unique_ptr<PaintedSixImage> panorama;  // never null while the window exists
    std::unique_ptr<PaintLink> link;
    float windowHeading = 0;  // radians, positive turns left
    float windowPitch = 0;    // radians, within [-pi/2, pi/2]
    int sendingView = 0;
    int quitRequested = 0;
    std::string tempViewPath;
    std::time_t tempViewTime = 0;
    MainWindow* window = nullptr;
};

AppState& app();

float getWindowHeading();
float getWindowPitch();

// The title for the current panorama and view (UTF-8).
void refreshTitle(std::string& buffer);
// Pitch clamped to +-90 degrees; then the window's title shows the new view.
void setWindowView(MainWindow* window, float heading, float pitch);
// Greys the commands that need a panorama when there is none.
void updateMenus(MainWindow* window);
