#include "platform/pixel_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What a face asks for: off-screen, OpenGL, generic; RGBA with 24 colour bits; nothing else.
PixelFormatDescriptor faceRequest() {
    PixelFormatDescriptor d;
    d.flags = drawToBitmap | supportOpenGL | genericFormat;
    d.pixelType = typeRGBA;
    d.colorBits = 24;
    return d;
}

// 113 + 30 (colour bits) + 4 (accumulation bits) + 4 x 1 (accumulation channels)
// + 2 (depth) + 1 (stencil) + 1 (auxiliary buffers).
constexpr int exactScore = 155;

struct ScoreCase {
    const char* name;
    void (*changeRequest)(PixelFormatDescriptor&);
    void (*changeCandidate)(PixelFormatDescriptor&);
    int expected;
};

void same(PixelFormatDescriptor&) {}

const ScoreCase scoreCases[] = {
    {"exact match", same, same, exactScore},
    {"extra flag bit", same, [](PixelFormatDescriptor& d) { d.flags |= drawToWindow; }, exactScore - 30},
    {"missing non-capability flag", same, [](PixelFormatDescriptor& d) { d.flags &= ~genericFormat; },
     exactScore - 30},
    {"two differing flag bits", same,
     [](PixelFormatDescriptor& d) { d.flags = (d.flags & ~genericFormat) | drawToWindow; }, exactScore - 60},
    {"lacks support-OpenGL", same, [](PixelFormatDescriptor& d) { d.flags &= ~supportOpenGL; }, 0},
    {"lacks draw-to-bitmap", same, [](PixelFormatDescriptor& d) { d.flags &= ~drawToBitmap; }, 0},
    {"lacks requested support-GDI", [](PixelFormatDescriptor& d) { d.flags |= supportGDI; }, same, 0},
    {"other pixel type", same, [](PixelFormatDescriptor& d) { d.pixelType = typeColorIndex; }, exactScore - 100},
    {"layer mask not requested", same, [](PixelFormatDescriptor& d) { d.layerMask = 2; }, exactScore},
    {"layer mask differs", [](PixelFormatDescriptor& d) { d.layerMask = 1; },
     [](PixelFormatDescriptor& d) { d.layerMask = 2; }, exactScore - 100},
    {"layer mask equal", [](PixelFormatDescriptor& d) { d.layerMask = 1; },
     [](PixelFormatDescriptor& d) { d.layerMask = 1; }, exactScore},
    {"more colour bits", same, [](PixelFormatDescriptor& d) { d.colorBits = 32; }, exactScore - 30 - 1},
    {"many more colour bits", same, [](PixelFormatDescriptor& d) { d.colorBits = 48; }, exactScore - 30 - 3},
    {"fewer colour bits", same, [](PixelFormatDescriptor& d) { d.colorBits = 16; }, exactScore - 30 - 8},
    {"red requested and equal", [](PixelFormatDescriptor& d) { d.redBits = 8; },
     [](PixelFormatDescriptor& d) { d.redBits = 8; }, exactScore + 1},
    {"red requested, more offered", [](PixelFormatDescriptor& d) { d.redBits = 8; },
     [](PixelFormatDescriptor& d) { d.redBits = 10; }, exactScore},
    {"red requested, fewer offered", [](PixelFormatDescriptor& d) { d.redBits = 8; },
     [](PixelFormatDescriptor& d) { d.redBits = 5; }, exactScore - 2},
    {"green, blue requested, fewer offered", [](PixelFormatDescriptor& d) { d.greenBits = d.blueBits = 8; },
     [](PixelFormatDescriptor& d) { d.greenBits = d.blueBits = 6; }, exactScore - 4},
    {"alpha not requested", same, [](PixelFormatDescriptor& d) { d.alphaBits = 8; }, exactScore},
    {"alpha requested, none offered", [](PixelFormatDescriptor& d) { d.alphaBits = 8; }, same, exactScore - 2},
    {"accumulation offered", same, [](PixelFormatDescriptor& d) { d.accumBits = 64; }, exactScore - 4 - 8},
    {"accumulation requested, none offered", [](PixelFormatDescriptor& d) { d.accumBits = 63; }, same,
     exactScore - 4 - 7},
    {"accumulation red offered", same, [](PixelFormatDescriptor& d) { d.accumRedBits = 16; }, exactScore - 1},
    {"accumulation alpha requested, none offered", [](PixelFormatDescriptor& d) { d.accumAlphaBits = 16; },
     same, exactScore - 1 - 2},
    {"deeper depth", same, [](PixelFormatDescriptor& d) { d.depthBits = 24; }, exactScore - 2 - 3},
    {"depth requested, shallower offered", [](PixelFormatDescriptor& d) { d.depthBits = 32; },
     [](PixelFormatDescriptor& d) { d.depthBits = 16; }, exactScore - 2 - 2},
    {"stencil offered", same, [](PixelFormatDescriptor& d) { d.stencilBits = 8; }, exactScore - 1 - 2},
    {"stencil requested, less offered", [](PixelFormatDescriptor& d) { d.stencilBits = 8; },
     [](PixelFormatDescriptor& d) { d.stencilBits = 1; }, exactScore - 1 - 1},
    {"auxiliary buffers differ", same, [](PixelFormatDescriptor& d) { d.auxBuffers = 2; }, exactScore - 1},
};

TEST(ScorePixelFormat, EachRuleMovesTheScore) {
    for (const ScoreCase& c : scoreCases) {
        PixelFormatDescriptor request = faceRequest(), candidate = faceRequest();
        c.changeRequest(request);
        c.changeCandidate(candidate);
        EXPECT_EQ(scorePixelFormat(request, candidate), c.expected) << c.name;
    }
}

PixelFormatDescriptor with(void (*change)(PixelFormatDescriptor&)) {
    PixelFormatDescriptor d = faceRequest();
    change(d);
    return d;
}

struct PickCase {
    const char* name;
    std::vector<PixelFormatDescriptor> candidates;
    int expected;
};

TEST(PickPixelFormat, ChoosesTheBestScoringFormatByOneBasedIndex) {
    const auto exact = faceRequest();
    const auto noOpenGL = with([](PixelFormatDescriptor& d) { d.flags &= ~supportOpenGL; });
    const auto deep = with([](PixelFormatDescriptor& d) { d.depthBits = 24; });
    const auto window = with([](PixelFormatDescriptor& d) { d.flags |= drawToWindow; });
    // Another pixel type and two flags too many: below zero.
    const auto hopeless = with([](PixelFormatDescriptor& d) {
        d.pixelType = typeColorIndex;
        d.flags |= drawToWindow | supportGDI;
    });
    const PickCase cases[] = {
        {"no formats", {}, 0},
        {"all lack support-OpenGL", {noOpenGL, noOpenGL, noOpenGL}, 0},
        {"only negative scores", {hopeless, hopeless}, 0},
        {"tie goes to the lowest index", {window, exact, exact}, 2},
        {"best is last", {window, deep, noOpenGL, exact}, 4},
        {"best is first", {exact, deep, window}, 1},
        {"unusable formats are skipped, not scored", {noOpenGL, hopeless, window}, 3},
    };
    for (const PickCase& c : cases) EXPECT_EQ(pickPixelFormat(c.candidates, faceRequest()), c.expected) << c.name;
}

}  // namespace
