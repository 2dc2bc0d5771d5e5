#include "app/app_state.h"

#include "app/main_window.h"
#include "panorama/geometry.h"
#include "view/view_title.h"

AppState& app() {
    static AppState state;
    return state;
}

float getWindowHeading() { return app().windowHeading; }
float getWindowPitch() { return app().windowPitch; }

void refreshTitle(std::string& buffer) {
    const PaintedSixImage* panorama = app().panorama.get();
    buffer = composeTitle(panorama != nullptr ? panorama->title.get() : nullptr,
                          panorama != nullptr ? panorama->modified : 0, app().windowHeading, app().windowPitch);
}

void setWindowView(MainWindow* window, float heading, float pitch) {
    app().windowPitch = clampPitch(pitch);
    app().windowHeading = heading;
    if (window != nullptr) window->showTitle();
}

void updateMenus(MainWindow* window) {
    if (window != nullptr) window->enablePanoramaCommands(app().panorama != nullptr);
}
