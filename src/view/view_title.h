#pragma once
#include <string>

// The main window's title for a panorama (name null: "Untitled") seen at heading and
// pitch (radians): "name [h=H° v=V°] - Domecast", with " *  " after the name when it has
// unsaved changes. H is the heading negated, in whole degrees 0..359, so that it grows
// as the view turns right; V is the pitch rounded to whole degrees. A zoomed view adds its
// horizontal field of view, zoomDegrees, as " f=F°" inside the brackets. UTF-8.
std::string composeTitle(const char* name, int modified, float heading, float pitch, int zoomDegrees = 0);

// The shown heading and pitch, degrees.
int shownHeading(float heading);
int shownPitch(float pitch);
