// The main window's title: name, modified mark, shown heading and pitch.
#include <gtest/gtest.h>

#include "panorama/geometry.h"
#include "view/view_title.h"

TEST(ViewTitle, ShownHeadingGrowsToTheRightWithinAFullTurn) {
    struct Case {
        float degrees;
        int shown;
    } cases[] = {{0, 0}, {10, 350}, {-10, 10}, {-370, 10}, {370, 350}, {90, 270}, {-90, 90}, {180, 180},
                 {-720, 0}, {0.4f, 0}, {-359.6f, 0}};
    for (const Case& c : cases) EXPECT_EQ(shownHeading(c.degrees * degToRad), c.shown) << c.degrees;
}

TEST(ViewTitle, ShownPitchIsRounded) {
    struct Case {
        float degrees;
        int shown;
    } cases[] = {{89.6f, 90}, {-0.4f, 0}, {-90, -90}, {45.5f, 46}, {-45.6f, -46}};
    for (const Case& c : cases) EXPECT_EQ(shownPitch(c.degrees * degToRad), c.shown) << c.degrees;
}

TEST(ViewTitle, ComposesNameMarkAndAngles) {
    EXPECT_EQ(composeTitle(nullptr, 0, 0, 0), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(composeTitle(nullptr, 1, 0, 0), "Untitled *  [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(composeTitle("sky", 0, 10 * degToRad, -20 * degToRad), "sky [h=350\u00b0 v=-20\u00b0] - Domecast");
}
