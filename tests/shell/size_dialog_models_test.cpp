// The New Panorama, Choose size and Resize Panorama dialogs without a display: the texts
// they show, what an edit or a button does, and what their results make of the panorama.
#include "shell/size_dialog_models.h"

#include <gtest/gtest.h>

#include "panorama/geometry.h"

#include <filesystem>

#include "link/paint_link.h"
#include "panorama/unread_faces.h"
#include "platform/memory_status.h"
#include "platform/settings.h"
#include "support/link_environment.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "view/painted_six_image.h"

namespace {

// newPanoramaSize lives for the run; every test starts from the size the editor starts with.
class SizeDialogs : public ::testing::Test {
protected:
    void SetUp() override { newPanoramaSize = {512, 512}; }
    void TearDown() override { setMemoryStatusSource({}); }

    MessageRecorder messages;
};

TEST(ParseSizeText, ReplacesTheSizeOnlyWhenBothNumbersAreInRange) {
    struct Case {
        const char* text;
        Size expected;  // from 100 x 200
    } cases[] = {
        {"1024x1024", {1024, 1024}},
        {"1024 x 1024", {1024, 1024}},
        {"32 x 2048", {32, 2048}},
        {"300 by 400 pixels", {100, 200}},  // the last digits are not at the end
        {"300 by 400 ", {300, 400}},
        {"4096 x 4096", {100, 200}},
        {"31 x 512", {100, 200}},
        {"512 x 2049", {100, 200}},
        {"x", {100, 200}},
        {"", {100, 200}},
        {"5", {100, 200}},
        {"12abc34", {100, 200}},
        {"abc 512", {100, 200}},
        {"-512 x 512", {100, 200}},
        {"99999999999 x 512", {100, 200}},
        {"512 x 99999999999", {100, 200}},
        {"512x512512512512512512", {100, 200}},
    };
    for (const Case& c : cases) {
        Size size{100, 200};
        EXPECT_EQ(parseSizeText(c.text, size), !(c.expected == Size{100, 200})) << c.text;
        EXPECT_EQ(size, c.expected) << c.text;
    }
}

TEST_F(SizeDialogs, NewPanoramaShowsTheSizeAndRestoresItAfterAnUnacceptableText) {
    NewPanoramaModel model;
    EXPECT_EQ(model.sizeText(), "512 x 512");
    EXPECT_EQ(model.memoryText(), "x 6  =  4.5 MB");

    model.sizeFocusLost("1024x1024");
    EXPECT_EQ(model.sizeText(), "1024 x 1024");
    EXPECT_EQ(model.memoryText(), "x 6  =  18.0 MB");
    EXPECT_EQ(newPanoramaSize, (Size{1024, 1024}));

    for (const char* refused : {"4096 x 4096", "", "x", "12abc34", "99999999999", "-64 x -64", "0 x 0"}) {
        model.sizeFocusLost(refused);
        EXPECT_EQ(model.sizeText(), "1024 x 1024") << refused;
        EXPECT_EQ(model.memoryText(), "x 6  =  18.0 MB") << refused;
    }
    EXPECT_EQ(newPanoramaSize, (Size{1024, 1024}));

    model.sizeFocusLost("32 x 2048");
    EXPECT_EQ(model.sizeText(), "32 x 2048");
    // The next dialog offers the size chosen last.
    EXPECT_EQ(NewPanoramaModel().sizeText(), "32 x 2048");
}

TEST_F(SizeDialogs, ChooseSizeShowsCanvasFieldOfViewAndMemory) {
    newPanoramaSize = {64, 64};
    ChooseSizeModel model({512, 512}, {512, 512});
    EXPECT_EQ(newPanoramaSize, (Size{512, 512}));
    EXPECT_EQ(model.widthText(), "512");
    EXPECT_EQ(model.heightText(), "512");
    EXPECT_EQ(model.canvasText(), "=  0.8 MB canvas");
    EXPECT_EQ(model.fovText(), "90\u00b0 by 90\u00b0 field of view");
    EXPECT_EQ(model.totalText(), "Approx. 7.0 MB total memory");

    model.recalculate("1024", "300");
    EXPECT_EQ(model.canvas(), (Size{1024, 300}));
    EXPECT_EQ(model.canvasText(), "=  0.9 MB canvas");
    EXPECT_EQ(model.fovText(), "127\u00b0 by 61\u00b0 field of view");

    // Zoomed, the view's field of view is the zoom's across, whatever the size.
    ChooseSizeModel zoomed({512, 512}, {1024, 768}, 50 * degToRad);
    EXPECT_EQ(zoomed.fovText(), "50\u00b0 by 39\u00b0 field of view");
    zoomed.recalculate("400", "400");
    EXPECT_EQ(zoomed.fovText(), "50\u00b0 by 50\u00b0 field of view");
}

TEST_F(SizeDialogs, ChooseSizeKeepsTheLastAcceptedSideForEachUnacceptableText) {
    struct Case {
        const char* width;
        const char* height;
        Size expected;  // from 640 x 480
    } cases[] = {
        {"9", "19999", {9, 19999}},
        {"8", "20000", {640, 480}},
        {"", "abc", {640, 480}},
        {"-700", "99999999999", {640, 480}},
        {"700px", "12abc34", {640, 480}},
        {"700", "x", {700, 480}},
        {" 700 ", "500", {700, 500}},
    };
    for (const Case& c : cases) {
        ChooseSizeModel model({512, 512}, {640, 480});
        model.recalculate(c.width, c.height);
        EXPECT_EQ(model.canvas(), c.expected) << c.width << " / " << c.height;
    }
}

TEST_F(SizeDialogs, ResizeShowsCurrentAndNewCosts) {
    ResizePanoramaModel model({512, 512});
    EXPECT_EQ(model.currentFacesText(), "512 x 512 x 6  =");
    EXPECT_EQ(model.currentFacesMemory(), "4.5 MB");
    EXPECT_EQ(model.currentSphericalText(), "2048 x 1024  =");
    EXPECT_EQ(model.currentSphericalMemory(), "6.0 MB");
    EXPECT_EQ(model.newFacesMemory(), "4.5 MB");
    EXPECT_EQ(model.newSphericalText(), "2048 x 1024  =");
    EXPECT_EQ(model.newSphericalMemory(), "6.0 MB");
    EXPECT_EQ(model.widthText(), "512");
    EXPECT_EQ(model.heightText(), "512");
    EXPECT_TRUE(model.constrained());

    model.widthFocusLost("1000");
    EXPECT_EQ(model.newSize(), (Size{1000, 1000}));
    EXPECT_EQ(model.heightText(), "1000");
    EXPECT_EQ(model.newFacesMemory(), "17.2 MB");
    EXPECT_EQ(model.newSphericalText(), "4000 x 2000 = ");
    EXPECT_EQ(model.newSphericalMemory(), "22.9 MB");
    // The current figures stay.
    EXPECT_EQ(model.currentFacesMemory(), "4.5 MB");
}

TEST_F(SizeDialogs, ResizeEditsFollowTheProportionsOnlyWhenConstrained) {
    struct Case {
        Size current;
        bool constrained;
        bool width;  // which edit lost the focus
        const char* text;
        Size expected;
    } cases[] = {
        {{400, 200}, true, true, "100", {100, 50}},
        {{400, 200}, true, false, "100", {200, 100}},
        {{400, 200}, false, true, "100", {100, 200}},
        {{400, 200}, true, true, "1", {1, 1}},  // never a side of no pixels
        {{400, 200}, true, true, "", {400, 200}},
        {{400, 200}, true, true, "0", {400, 200}},
        {{400, 200}, true, false, "-5", {400, 200}},
        {{400, 200}, true, true, "abc", {400, 200}},
        {{512, 512}, true, true, "99999999999", {2147483647, 2147483647}},
    };
    for (const Case& c : cases) {
        ResizePanoramaModel model(c.current);
        model.setConstrained(c.constrained);
        if (c.width)
            model.widthFocusLost(c.text);
        else
            model.heightFocusLost(c.text);
        EXPECT_EQ(model.newSize(), c.expected) << c.text;
        EXPECT_EQ(model.widthText(), std::to_string(c.expected.width)) << c.text;
        EXPECT_EQ(model.heightText(), std::to_string(c.expected.height)) << c.text;
    }
}

TEST_F(SizeDialogs, ResizeOkResetsASizeThatDoesNotFitInMemory) {
    // Room for 300 x 300 faces beside the 2 MB kept back: 2097152 + 300 * 300 * 18 bytes,
    // half of it as page file.
    setMemoryStatusSource([] { return MemoryStatus{2097152 + 810000, 1620000}; });
    ResizePanoramaModel model({512, 512});
    EXPECT_FALSE(model.okPressed("512", "512"));
    EXPECT_EQ(model.newSize(), (Size{300, 300}));
    EXPECT_EQ(model.widthText(), "300");
    EXPECT_EQ(model.newFacesMemory(), "1.5 MB");
    EXPECT_EQ(model.newSphericalText(), "1200 x 600  =");
    ASSERT_EQ(messages.texts(), std::vector<std::string>{"Insufficient memory; size reset"});

    // The reset size fits, and so does anything smaller.
    EXPECT_TRUE(model.okPressed("300", "300"));
    EXPECT_TRUE(model.okPressed("20", "10"));
    EXPECT_EQ(model.newSize(), (Size{20, 10}));
    EXPECT_EQ(messages.texts().size(), 1u);

    // With less than the part kept back, the smallest face is left.
    setMemoryStatusSource([] { return MemoryStatus{1000, 0}; });
    EXPECT_FALSE(model.okPressed("99999999999", "99999999999"));
    EXPECT_EQ(model.newSize(), (Size{1, 1}));
}

TEST(MemoryStatus, ReadsAvailableMemoryAndFreeSwapFromMeminfo) {
    const MemoryStatus status = parseMeminfo(
        "MemTotal:       16000000 kB\nMemFree:  100 kB\nMemAvailable:    8000000 kB\n"
        "SwapTotal:       4000 kB\nSwapFree:        2048 kB\n");
    EXPECT_EQ(status.availablePhysical, 8000000ull * 1024);
    EXPECT_EQ(status.availablePageFile, 2048ull * 1024);

    for (const char* garbled : {"", "MemAvailable:\nSwapFree: kB\n", "MemAvailableX: 5 kB\nSwapFre: 5 kB",
                                "MemAvailable: 99999999999999999999999 kB\n"}) {
        const MemoryStatus none = parseMeminfo(garbled);
        EXPECT_EQ(none.availablePhysical, 0u) << garbled;
        EXPECT_EQ(none.availablePageFile, 0u) << garbled;
    }
    EXPECT_GT(memoryStatus().availablePhysical, 0u);
}

class NewPanoramaResult : public SizeDialogs {
protected:
    void SetUp() override {
        SizeDialogs::SetUp();
        ASSERT_EQ(PaintLink::openAsApplication(link), nullptr);
        link->record().hasImage = 7;
        writeStringSetting("TemplatePath", dir.path().string());
    }

    LinkEnvironment environment;
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScriptedQuestions questions;
    std::unique_ptr<PaintLink> link;
};

TEST_F(NewPanoramaResult, NewEmptyMakesWhiteFacesForAnImageToArrive) {
    newPanoramaSize = {40, 48};
    const auto panorama = newPanoramaResult(NewPanoramaModel::newEmpty, questions, link.get());
    ASSERT_NE(panorama, nullptr);
    for (const auto& face : panorama->faces) {
        ASSERT_EQ(face->size(), (Size{40, 48}));
        for (int y = 0; y < face->height; ++y)
            for (int x = 0; x < 3 * face->width; ++x) ASSERT_EQ(face->row(y)[x], 0xFF);
    }
    EXPECT_EQ(panorama->modified, 0);
    EXPECT_EQ(link->record().hasImage, 1);
    EXPECT_NE(newPanoramaResult(NewPanoramaModel::newEmpty, questions, nullptr), nullptr);
}

TEST_F(NewPanoramaResult, CancelAndTemplatesThatAreCancelledOrUnreadableGiveNone) {
    EXPECT_EQ(newPanoramaResult(NewPanoramaModel::cancel, questions, link.get()), nullptr);
    EXPECT_EQ(link->record().hasImage, 7);  // Cancel leaves the link alone

    EXPECT_EQ(newPanoramaResult(NewPanoramaModel::openTemplate, questions, link.get()), nullptr);
    ASSERT_EQ(questions.openQuestions.size(), 1u);
    EXPECT_EQ(questions.openQuestions[0].folder, dir.path().string());
    EXPECT_EQ(link->record().hasImage, 0);

    link->record().hasImage = 7;
    questions.openAnswers.push_back(FileChoice{dir.file("missing_FR.png"), -1});
    EXPECT_EQ(newPanoramaResult(NewPanoramaModel::openTemplate, questions, link.get()), nullptr);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No faces found for missing: looked for missing_FR.png, "
                                                         "missing_BK.png, missing_LF.png, missing_RT.png, "
                                                         "missing_UP.png, missing_DN.png\n"
                                                         "Reason: no face could be read"});
    EXPECT_EQ(link->record().hasImage, 0);
}

TEST_F(NewPanoramaResult, ATemplateOpensUnnamed) {
    const auto source = std::make_unique<PaintedSixImage>(Size{16, 16}, Size{16, 16});
    source->faces[3]->row(2)[5] = 9;
    source->fileName = dir.file("tmpl.wrl");
    source->layout = 3;  // "VRML, PNG"
    ASSERT_EQ(source->write(), 0);
    questions.openAnswers.push_back(FileChoice{dir.file("tmpl_RT.png"), -1});
    const auto panorama = newPanoramaResult(NewPanoramaModel::openTemplate, questions, link.get());
    ASSERT_NE(panorama, nullptr);
    EXPECT_EQ(panorama->faces[3]->row(2)[5], 9);
    EXPECT_TRUE(panorama->fileName.empty());
    EXPECT_EQ(link->record().hasImage, 0);
    for (const auto& text : messages.texts()) ADD_FAILURE() << text;
}

TEST_F(NewPanoramaResult, ATemplateWithAFaceMissingOpensAndSaysWhichFile) {
    const auto source = std::make_unique<PaintedSixImage>(Size{16, 16}, Size{16, 16});
    source->fileName = dir.file("tmpl.wrl");
    source->layout = 3;  // "VRML, PNG"
    ASSERT_EQ(source->write(), 0);
    ASSERT_TRUE(std::filesystem::remove(dir.file("tmpl_BK.png")));
    questions.openAnswers.push_back(FileChoice{dir.file("tmpl_RT.png"), -1});
    EXPECT_NE(newPanoramaResult(NewPanoramaModel::openTemplate, questions, link.get()), nullptr);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{unreadFacesMessage({{dir.file("tmpl_BK.png"), true}})});
}

TEST_F(SizeDialogs, ResizingFacesMarksAChangeAndDropsTheViewOfTheOldFaces) {
    ScriptedQuestions questions;
    PaintedSixImage panorama({16, 16}, {16, 16});
    panorama.view.allocate(nominalCamera(panorama, 0, 0, {32, 24}));

    ASSERT_TRUE(resizePanoramaFaces(panorama, {16, 16}, questions));
    EXPECT_EQ(panorama.modified, 0);  // nothing to save

    ASSERT_TRUE(resizePanoramaFaces(panorama, {8, 8}, questions));
    for (int i = 0; i < faceCount; ++i) EXPECT_EQ(panorama.faceSize(i), (Size{8, 8}));
    EXPECT_EQ(panorama.modified, 1);
    // A picture of that view is compared with a view of the resized faces.
    EXPECT_TRUE(panorama.view.empty());
    EXPECT_EQ(questions.waitsBegun, 2);
    EXPECT_EQ(questions.waitDepth, 0);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(SizeDialogs, FacesThatCannotBeAllocatedLeaveTheOldOnes) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer ends the process on an impossible allocation";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer ends the process on an impossible allocation";
#endif
#endif
    ScriptedQuestions questions;
    PaintedSixImage panorama({16, 16}, {16, 16});
    const BGRImage* front = panorama.faces[0].get();
    EXPECT_FALSE(resizePanoramaFaces(panorama, {1 << 20, 1 << 20}, questions));
    EXPECT_EQ(panorama.faces[0].get(), front);
    for (int i = 0; i < faceCount; ++i) EXPECT_EQ(panorama.faceSize(i), (Size{16, 16}));
    EXPECT_EQ(panorama.modified, 0);
    EXPECT_EQ(questions.waitDepth, 0);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Not enough memory for 1048576 x 1048576 faces"});
}

}  // namespace

namespace {

// Faces whose six pictures are over the megapixel limit are refused by Resize and by New
// with the sizes, the limit and the memory; within it they are made.
TEST_F(NewPanoramaResult, FacesOverTheMegapixelLimitAreRefusedWithTheReason) {
    writeNumberSetting("MaxImageMegapixels", 1);  // six faces of 408 x 408 make 0.999
    ResizePanoramaModel model({512, 512});
    EXPECT_TRUE(model.okPressed("408", "408"));
    EXPECT_FALSE(model.okPressed("409", "409"));
    EXPECT_EQ(model.newSize(), (Size{409, 409}));  // kept for the user to change

    newPanoramaSize = {512, 512};
    EXPECT_EQ(newPanoramaResult(NewPanoramaModel::newEmpty, questions, link.get()), nullptr);
    EXPECT_EQ(link->record().hasImage, 7);
    const std::vector<std::string> texts = messages.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].starts_with("Faces of 409 x 409 pixels are too large: six of them are 1.0 megapixels, "
                                     "needing 6 MB of memory; the limit is 1 megapixels (\"MaxImageMegapixels\")"))
        << texts[0];
    EXPECT_TRUE(texts[1].starts_with("Faces of 512 x 512 pixels are too large")) << texts[1];

    writeNumberSetting("MaxImageMegapixels", 2);
    EXPECT_NE(newPanoramaResult(NewPanoramaModel::newEmpty, questions, link.get()), nullptr);
}

}  // namespace
