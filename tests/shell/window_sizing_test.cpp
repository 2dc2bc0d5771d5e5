// Sizing the main window for a view within its client-area limits.
#include <gtest/gtest.h>

#include "shell/window_sizing.h"

TEST(WindowSizing, ClientSizeForView) {
    const WindowLimits limits{{439, 141}, {1280, 1000}, {92, 111}};
    // View limits: width 347..1188, height 30..889.
    struct Case {
        Size view;
        bool keepAspect;
        Size client;
    } cases[] = {
        {{400, 300}, true, {492, 411}},    // inside: unchanged plus margins
        {{2376, 600}, true, {1280, 411}},  // too wide: both halved
        {{200, 100}, true, {439, 284}},    // too narrow: both scaled by 347/200
        {{200, 100}, false, {439, 211}},   // each by its own factor
        {{2376, 1000}, true, {1280, 611}},  // both too large: the smaller factor, 0.5
        {{100, 20}, true, {439, 180}},     // both too small: the larger factor, 3.47
        {{5000, 10}, true, {1280, 141}},   // aspect beyond reach: each on its own
        {{0, 0}, true, {439, 141}},        // no view: the smallest window
    };
    for (const Case& c : cases)
        EXPECT_EQ(clientSizeForView(c.view, limits, c.keepAspect), c.client)
            << c.view.width << "x" << c.view.height << (c.keepAspect ? " keep" : "");
    EXPECT_EQ(viewSizeForClient({500, 400}, limits), (Size{408, 289}));
}
