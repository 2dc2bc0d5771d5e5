#include "view/view_title.h"

#include <cmath>
#include <cstdio>

#include "panorama/geometry.h"

int shownHeading(float heading) {
    const double degrees = std::floor(0.5 - static_cast<double>(heading * radToDeg));
    // A heading that is not a number, or beyond any int, shows as 0.
    if (!(std::fabs(degrees) < 2.0e9)) return 0;
    int h = static_cast<int>(degrees);
    if (h < 0) h += 360 * ((359 - h) / 360);
    if (h >= 360) h %= 360;
    return h;
}

int shownPitch(float pitch) {
    const double degrees = std::floor(static_cast<double>(pitch * radToDeg) + 0.5);
    if (!(std::fabs(degrees) < 2.0e9)) return 0;
    return static_cast<int>(degrees);
}

std::string composeTitle(const char* name, int modified, float heading, float pitch, int zoomDegrees) {
    char angles[96];
    if (zoomDegrees != 0)
        std::snprintf(angles, sizeof angles, "[h=%d\u00b0 v=%d\u00b0 f=%d\u00b0]", shownHeading(heading), shownPitch(pitch),
                      zoomDegrees);
    else
        std::snprintf(angles, sizeof angles, "[h=%d\u00b0 v=%d\u00b0]", shownHeading(heading), shownPitch(pitch));
    char text[1024];
    std::snprintf(text, sizeof text, modified != 0 ? "%s *  %s - %s" : "%s %s - %s", name != nullptr ? name : "Untitled",
                  angles, "Domecast");
    return text;
}
