#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "panorama/geometry.h"
#include "platform/report.h"
#include "support/message_recorder.h"
#include "support/patterned_panorama.h"

namespace {

class DebuggingSwitch {
public:
    explicit DebuggingSwitch(bool on) : previous_(runtimeDebugging()) { setRuntimeDebugging(on); }
    ~DebuggingSwitch() { setRuntimeDebugging(previous_); }

private:
    bool previous_;
};

TEST(NominalCamera, SizeOfAFieldOfView) {
    struct Case {
        int faceSize;
        float degreesX, degreesY;
        Size expected;
    };
    const Case cases[] = {
        {512, 90, 90, {512, 512}},
        {256, 90, 75, {256, 196}},
        {512, 0, 75, {0, 0}},
        {512, 75, 0, {0, 0}},
        {64, 60, 120, {36, 110}},  // trunc(64 tan 30) = trunc(36.95), trunc(64 tan 60) = trunc(110.85)
        {512, 180, 90, {0, 0}},    // 512 tan(90 degrees) is no pixel count
    };
    for (const Case& c : cases) {
        auto panorama = patternedPanorama(c.faceSize);
        EXPECT_EQ(nominalSize(*panorama, {c.degreesX * degToRad, c.degreesY * degToRad}), c.expected)
            << c.faceSize << ": " << c.degreesX << " x " << c.degreesY;
    }
}

TEST(NominalCamera, FieldOfViewOfASize) {
    auto panorama = patternedPanorama(256);
    const FieldOfView fov = nominalFOV(*panorama, {256, 512});
    EXPECT_EQ(fov[0], 2.0f * std::atan2(1.0f, 1.0f));
    EXPECT_EQ(fov[1], 2.0f * std::atan2(2.0f, 1.0f));
    EXPECT_EQ(nominalCamera(*panorama, 0.5f, -0.25f, {256, 512}), (Camera{0.5f, -0.25f, fov, {256, 512}}));
    EXPECT_EQ(nominalSize(*panorama, nominalFOV(*panorama, {300, 200})), (Size{300, 200}));
    EXPECT_EQ(nominalFOV(*panorama, {0, 200}), (FieldOfView{0, 0}));
    EXPECT_EQ(nominalFOV(*panorama, {200, 0}), (FieldOfView{0, 0}));
}

TEST(NominalCamera, ZerosWarnOnlyWhileDebugging) {
    SixImage empty;  // no front face
    for (const bool debugging : {false, true}) {
        DebuggingSwitch debug(debugging);
        MessageRecorder recorder;
        EXPECT_EQ(nominalFOV(empty, {256, 256}), (FieldOfView{0, 0}));
        auto panorama = patternedPanorama(512);
        EXPECT_EQ(nominalSize(*panorama, {0, 75 * degToRad}), (Size{0, 0}));
        if (debugging)
            EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Warning: bg->calculateNominalFOV returning zero FOV",
                                                                  "Warning: bg->calculateNominalSize returning zero"}));
        else
            EXPECT_TRUE(recorder.texts().empty());
        nominalSize(*panorama, {90 * degToRad, 90 * degToRad});
        EXPECT_EQ(recorder.texts().size(), debugging ? 2u : 0u) << "no warning for a real size";
    }
}

}  // namespace
