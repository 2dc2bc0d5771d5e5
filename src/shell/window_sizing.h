#pragma once
#include "platform/image_types.h"

// The client-area limits of the main window and the space its control panel takes.
struct WindowLimits {
    Size minClient;
    Size maxClient;
    Size margins;
};

// The client size that shows a view of viewSize within the limits: each dimension scaled
// by its own factor, or with keepAspect by one common factor while the requested aspect
// ratio can be met inside the limits. Scaled sizes are truncated to whole pixels.
Size clientSizeForView(Size viewSize, const WindowLimits& limits, bool keepAspect);

// The view area of a client area: the client size minus the panel's margins.
Size viewSizeForClient(Size clientSize, const WindowLimits& limits);
