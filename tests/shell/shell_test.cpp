// The application shell without a display: title, enabled commands, the view commands,
// replacing, opening and saving the panorama, start-up and the exit sequence.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "image/pixel_memory.h"
#include "panorama/document_questions.h"
#include "panorama/unread_faces.h"

#include "panorama/format_table.h"
#include "platform/progress.h"
#include "platform/settings.h"
#include "support/image_files.h"
#include "shell/commands.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "support/text_files.h"
#include "panorama/geometry.h"

namespace {

namespace fs = std::filesystem;

constexpr int vrmlPngRow = 3;  // the format table's "VRML, PNG" row

// What the window would hear.
struct RecordingListener : ShellListener {
    int titles = 0, commands = 0, views = 0;
    void titleChanged() override { ++titles; }
    void commandsChanged() override { ++commands; }
    void viewChanged() override { ++views; }
    void clear() { titles = commands = views = 0; }
};

class ShellTest : public ::testing::Test {
protected:
    // A missing "DefaultFile" setting is reported; one naming no file is not.
    void SetUp() override { writeStringSetting("DefaultFile", dir.file("none_FR.bmp")); }

    // The shell with the start-up panorama of a user without settings.
    void start() {
        shell.startWith(questions, {});
        ASSERT_NE(shell.panorama(), nullptr);
        listener.clear();
    }

    // A two-face-colour panorama written as "VRML, PNG" under name; the path to open.
    std::string writePanorama(const std::string& name, int faceSize) {
        return writePanorama(name + ".wrl", vrmlPngRow, name + "_RT.png", faceSize);
    }
    // The panorama written under fileName in save row layout; the path opened is opened.
    std::string writePanorama(const std::string& fileName, int layout, const std::string& opened, int faceSize) {
        PaintedSixImage panorama(Size{faceSize, faceSize}, Size{faceSize, faceSize});
        panorama.faces[2]->row(0)[0] = 7;
        panorama.fileName = dir.file(fileName);
        panorama.layout = layout;
        EXPECT_EQ(panorama.write(), 0);
        return dir.file(opened);
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
    RecordingListener listener;
    Shell shell{&listener};
};

TEST_F(ShellTest, CommandsAreEnabledByWhatThisBuildOffersAndWhetherThereIsAPanorama) {
    struct Case {
        int id;
        bool withoutPanorama, withPanorama;
    } cases[] = {
        {cmdOpen, true, true},        {cmdSave, false, true},     {cmdSaveAs, false, true},
        {cmdForward, false, true},    {cmdDown, false, true},     {cmdExit, true, true},
        {cmdAbout, true, true},       {cmdHelp, true, true},      {cmdRuntimeDebugging, true, true},
        {cmdNew, true, true},         {cmdResize, false, true},   {cmdPreferences, true, true},
        {cmdPaintView, false, true},  {40015, false, false},      {0, false, false},
    };
    for (const Case& c : cases) EXPECT_EQ(shell.commandEnabled(c.id), c.withoutPanorama) << c.id;
    start();
    for (const Case& c : cases) EXPECT_EQ(shell.commandEnabled(c.id), c.withPanorama) << c.id;
}

TEST_F(ShellTest, EveryMenuCommandHasOneRowInTheTable) {
    for (const CommandInfo& command : commandTable()) EXPECT_EQ(findCommand(command.id), &command) << command.id;
    EXPECT_EQ(findCommand(cmdPaintView)->group, CommandGroup::paint);
    EXPECT_EQ(findCommand(40015), nullptr);
}

TEST_F(ShellTest, StartUpWithoutAFileShowsWhiteFacesAndTellsTheWindow) {
    shell.startWith(questions, {});
    ASSERT_NE(shell.panorama(), nullptr);
    EXPECT_EQ(shell.panorama()->faces[0]->size(), (Size{256, 256}));
    EXPECT_EQ(shell.title(), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(listener.titles, 1);
    EXPECT_EQ(listener.commands, 1);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(ShellTest, StartUpReportsANamedFileThatCannotBeReadButNotAMissingDefaultFile) {
    shell.startWith(questions, {});
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(shell.panorama()->faces[0]->size(), (Size{256, 256}));

    Shell named;
    named.startWith(questions, {dir.file("missing pano_FR.bmp")});
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(named.panorama()->faces[0]->size(), (Size{256, 256}));
}

// A settings line that cannot be used is shown in one box at the start, naming the file and
// the line; the file's other values still count.
TEST_F(ShellTest, StartUpShowsTheSettingsLinesThatCannotBeUsed) {
    const std::string fallback = writePanorama("fallback", 8);
    const std::string userFile = dir.file("settings/user/domecast/domecast.conf");
    writeText(userFile, "[Domecast]\nDefaultFile=" + fallback + "\nPaintApp /usr/bin/gimp\n");
    testing::internal::CaptureStderr();
    shell.startWith(questions, {});
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shell.panorama()->faces[0]->size(), (Size{8, 8}));
    const std::string problem =
        "The settings file " + userFile + ": line 3 is not a value, a [group] or a # comment and is ignored.";
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "Some settings lines cannot be used; Domecast goes on without them:\n" + problem);
    EXPECT_EQ(logged, "Domecast: " + problem + "\n");
}

TEST_F(ShellTest, StartUpReadsTheNamedFileElseTheDefaultFile) {
    const std::string named = writePanorama("named", 16);
    const std::string fallback = writePanorama("fallback", 8);
    writeStringSetting("DefaultFile", fallback);
    shell.startWith(questions, {named});
    EXPECT_EQ(shell.panorama()->faces[0]->size(), (Size{16, 16}));

    Shell withDefault;
    withDefault.startWith(questions, {});
    EXPECT_EQ(withDefault.panorama()->faces[0]->size(), (Size{8, 8}));
    EXPECT_TRUE(messages.texts().empty());
    // The default file is named in the title, but Save must not write over it.
    EXPECT_EQ(withDefault.title(), "fallback [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(withDefault.panorama()->fileName, "");
}

// A panorama named on the command line is the document File > Open would make of it, so
// that Save writes it back instead of asking for a name.
TEST_F(ShellTest, StartUpNamesTheFileAsOpenDoes) {
    struct Case {
        const char* fileName;
        int saveRow;
        const char* opened;
        const char* written;  // a file Save writes
    } cases[] = {
        {"scene.wrl", vrmlPngRow, "scene_BK.png", "scene_UP.png"},
        {"studio_FR.tga", 0, "studio_UP.tga", "studio_UP.tga"},
        {"photo.png", 12, "photo.png", "photo.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        const std::string path = writePanorama(c.fileName, c.saveRow, c.opened, 8);
        Shell started;
        started.startWith(questions, {path});
        Shell opened;
        opened.startWith(questions, {});
        questions.openAnswers.push_back(FileChoice{path, formatTable().bestOpenRow(path)});
        opened.openPanorama(questions);
        ASSERT_NE(opened.panorama()->fileName, "");
        EXPECT_EQ(started.panorama()->fileName, opened.panorama()->fileName);
        EXPECT_EQ(started.panorama()->layout, opened.panorama()->layout);
        EXPECT_EQ(started.title(), opened.title());
        EXPECT_EQ(started.panorama()->modified, 0);

        fs::remove(dir.file(c.written));
        started.panorama()->modified = 1;
        started.savePanorama(questions, false);
        EXPECT_TRUE(questions.saveQuestions.empty());
        EXPECT_TRUE(fs::exists(dir.file(c.written)));
        EXPECT_EQ(started.panorama()->modified, 0);
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(ShellTest, ViewCommandsAndTurnsSetTheViewWithThePitchClamped) {
    start();
    struct Step {
        const char* what;
        void (*act)(Shell&);
        const char* shown;
    } steps[] = {
        {"left", [](Shell& s) { s.viewCommand(cmdLeft); }, "[h=270\u00b0 v=0\u00b0]"},
        {"turn right 10", [](Shell& s) { s.turnBy(-10 * degToRad, 0); }, "[h=280\u00b0 v=0\u00b0]"},
        {"right", [](Shell& s) { s.viewCommand(cmdRight); }, "[h=90\u00b0 v=0\u00b0]"},
        {"back", [](Shell& s) { s.viewCommand(cmdBack); }, "[h=180\u00b0 v=0\u00b0]"},
        {"up", [](Shell& s) { s.viewCommand(cmdUp); }, "[h=0\u00b0 v=90\u00b0]"},
        {"further up stays at 90", [](Shell& s) { s.turnBy(0, 10 * degToRad); }, "[h=0\u00b0 v=90\u00b0]"},
        {"down", [](Shell& s) { s.viewCommand(cmdDown); }, "[h=0\u00b0 v=-90\u00b0]"},
        {"far below stays at -90", [](Shell& s) { s.setView(0, -3); }, "[h=0\u00b0 v=-90\u00b0]"},
        {"forward", [](Shell& s) { s.viewCommand(cmdForward); }, "[h=0\u00b0 v=0\u00b0]"},
    };
    for (const Step& step : steps) {
        step.act(shell);
        EXPECT_NE(shell.title().find(step.shown), std::string::npos) << step.what << ": " << shell.title();
    }
    EXPECT_EQ(shell.windowPitch(), 0.0f);
    EXPECT_EQ(listener.titles, static_cast<int>(std::size(steps)));
    EXPECT_EQ(listener.views, static_cast<int>(std::size(steps)));
    EXPECT_EQ(listener.commands, 0);
}

TEST_F(ShellTest, TheHeadingAccumulatesAndOnlyTheTitleWrapsIt) {
    start();
    for (int i = 0; i < 40; ++i) shell.turnBy(10 * degToRad, 0);
    EXPECT_NEAR(shell.windowHeading(), 400 * degToRad, 1e-4);
    EXPECT_NE(shell.title().find("[h=320\u00b0 v=0\u00b0]"), std::string::npos) << shell.title();
}

TEST_F(ShellTest, AnIdThatIsNoViewCommandChangesNothing) {
    start();
    shell.setView(1, 0.5f);
    listener.clear();
    EXPECT_FALSE(shell.viewCommand(cmdSave));
    EXPECT_EQ(shell.windowHeading(), 1.0f);
    EXPECT_EQ(shell.windowPitch(), 0.5f);
    EXPECT_EQ(listener.titles + listener.views + listener.commands, 0);
}

TEST_F(ShellTest, ReplacingThePanoramaKeepsTheFieldOfViewAndLooksAhead) {
    start();
    shell.setView(2, 0.5f);
    const FieldOfView before = shell.camera().fov;
    listener.clear();
    auto next = std::make_unique<PaintedSixImage>(Size{8, 8}, Size{8, 8});
    const PaintedSixImage* raw = next.get();
    shell.replacePanorama(std::move(next));
    EXPECT_EQ(shell.panorama(), raw);
    EXPECT_EQ(shell.camera().fov, before);
    EXPECT_EQ(shell.windowHeading(), 0.0f);
    EXPECT_EQ(shell.windowPitch(), 0.0f);
    EXPECT_EQ(listener.titles, 1);
    EXPECT_EQ(listener.commands, 1);
    EXPECT_EQ(listener.views, 1);
}

TEST_F(ShellTest, OpenReplacesThePanoramaAndNamesIt) {
    const std::string path = writePanorama("pano", 16);
    start();
    shell.setView(2, 0.5f);
    const FieldOfView before = shell.camera().fov;
    questions.openAnswers.push_back(FileChoice{path, vrmlPngRow});
    shell.openPanorama(questions);
    ASSERT_EQ(shell.panorama()->faces[2]->size(), (Size{16, 16}));
    EXPECT_EQ(shell.panorama()->faces[2]->row(0)[0], 7);
    EXPECT_EQ(shell.camera().fov, before);
    EXPECT_EQ(shell.title(), "pano [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_TRUE(messages.texts().empty());
}

// Stands for the editor's progress dialog: answers Cancel once reports reach a fraction.
struct CancellingObserver : ProgressObserver {
    explicit CancellingObserver(double at) : at(at), previous(setProgressObserver(this)) {}
    ~CancellingObserver() override { setProgressObserver(previous); }
    bool progressed(double fraction) override {
        ++reports;
        return fraction < at;
    }
    double at;
    ProgressObserver* previous;
    int reports = 0;
};

// Cancel part way through reading or writing leaves the panorama shown and the files on
// the disk as they were, and says nothing; the same work without Cancel goes through.
TEST_F(ShellTest, CancelOfALongOpenOrSaveLeavesEverythingAsItWas) {
    const std::string path = writePanorama("pano", 64);
    start();
    const PaintedSixImage* before = shell.panorama();
    {
        const CancellingObserver cancel(0.5);
        questions.openAnswers.push_back(FileChoice{path, vrmlPngRow});
        EXPECT_FALSE(shell.openPanorama(questions));
        EXPECT_GT(cancel.reports, 1);
    }
    EXPECT_EQ(shell.panorama(), before);
    EXPECT_TRUE(messages.texts().empty());

    questions.openAnswers.push_back(FileChoice{path, vrmlPngRow});
    ASSERT_TRUE(shell.openPanorama(questions));
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.is_regular_file()) files[entry.path().string()] = fileText(entry.path().string());
    shell.panorama()->faces[0]->row(3)[3] = 99;
    shell.panorama()->modified = 1;
    {
        const CancellingObserver cancel(0.5);
        shell.savePanorama(questions, false);
        EXPECT_GT(cancel.reports, 1);
    }
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(shell.panorama()->modified, 1);
    for (const auto& [file, text] : files) EXPECT_EQ(fileText(file), text) << file;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".domecast-")) << entry.path();

    {
        const CancellingObserver never(2);
        shell.savePanorama(questions, false);
    }
    EXPECT_EQ(shell.panorama()->modified, 0);
    EXPECT_NE(fileText(dir.file("pano_FR.png")), files[dir.file("pano_FR.png")]);
}

TEST_F(ShellTest, OpenThatIsCancelledOrFailsKeepsThePanorama) {
    start();
    const PaintedSixImage* before = shell.panorama();
    shell.openPanorama(questions);  // the Open dialog cancelled
    ASSERT_EQ(questions.openQuestions.size(), 1u);

    questions.openAnswers.push_back(FileChoice{dir.file("absent_RT.png"), vrmlPngRow});
    shell.openPanorama(questions);
    EXPECT_EQ(messages.texts().size(), 1u);

    // Cancel in the save-changes prompt asks no file at all.
    shell.panorama()->modified = 1;
    shell.openPanorama(questions);
    EXPECT_EQ(questions.saveChangesTexts.size(), 1u);
    EXPECT_EQ(questions.openQuestions.size(), 2u);

    EXPECT_EQ(shell.panorama(), before);
    EXPECT_EQ(listener.commands + listener.views, 0);
}

TEST_F(ShellTest, FacesLeftWhiteAreToldOnceByOpenAndTheNamedFileButNotTheDefaultFile) {
    const std::string path = writePanorama("pano", 16);
    fs::remove(dir.file("pano_UP.png"));
    fs::remove(dir.file("pano_DN.png"));
    const std::vector<std::string> expected{
        unreadFacesMessage({{dir.file("pano_UP.png"), true}, {dir.file("pano_DN.png"), true}})};
    shell.startWith(questions, {path});
    EXPECT_EQ(messages.texts(), expected);
    EXPECT_EQ(shell.panorama()->faces[2]->row(0)[0], 7);

    messages.clear();
    questions.openAnswers.push_back(FileChoice{path, vrmlPngRow});
    shell.openPanorama(questions);
    EXPECT_EQ(messages.texts(), expected);
    EXPECT_EQ(shell.title(), "pano [h=0\u00b0 v=0\u00b0] - Domecast");

    // The default file stays silent about its white faces, as about a failure to read it.
    messages.clear();
    writeStringSetting("DefaultFile", path);
    Shell withDefault;
    withDefault.startWith(questions, {});
    EXPECT_EQ(withDefault.panorama()->faces[2]->row(0)[0], 7);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(ShellTest, AFileHandedOverIsOpenedAfterTheSavePromptAndAFailureKeepsThePanorama) {
    const std::string path = writePanorama("pano", 16);
    start();
    const PaintedSixImage* before = shell.panorama();
    shell.panorama()->modified = 1;

    // Cancel in the save prompt keeps the panorama and reads nothing.
    questions.saveChangesAnswers.push_back(MessageAnswer::cancel);
    EXPECT_FALSE(shell.openNamedPanorama(questions, path));
    EXPECT_EQ(shell.panorama(), before);
    EXPECT_EQ(questions.saveChangesTexts.size(), 1u);

    // A file that cannot be read is reported once; the panorama stays.
    questions.saveChangesAnswers.push_back(MessageAnswer::no);
    EXPECT_FALSE(shell.openNamedPanorama(questions, dir.file("absent_RT.png")));
    EXPECT_EQ(shell.panorama(), before);
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(listener.views, 0);

    questions.saveChangesAnswers.push_back(MessageAnswer::no);
    shell.setView(2, 0.5f);
    EXPECT_TRUE(shell.openNamedPanorama(questions, path));
    ASSERT_EQ(shell.panorama()->faces[2]->size(), (Size{16, 16}));
    EXPECT_EQ(shell.panorama()->faces[2]->row(0)[0], 7);
    EXPECT_EQ(shell.title(), "pano [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(questions.saveChangesTexts.size(), 3u);
    // The Open dialog is not asked: the file is named.
    EXPECT_TRUE(questions.openQuestions.empty());
}

TEST_F(ShellTest, OpenWithoutMemoryForTheFacesReportsItAndKeepsThePanorama) {
    const std::string path = writePanorama("pano", 16);
    start();
    const PaintedSixImage* before = shell.panorama();
    const std::size_t previous = setPixelAllocationLimit(100);  // a 16-pixel face takes 768 bytes
    questions.openAnswers.push_back(FileChoice{path, vrmlPngRow});
    shell.openPanorama(questions);
    setPixelAllocationLimit(previous);
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(shell.panorama(), before);
    EXPECT_EQ(listener.views, 0);
}

TEST_F(ShellTest, SaveAsAsksAgainAfterAFailedWriteAndTheTitleTakesTheName) {
    start();
    shell.panorama()->modified = 1;
    EXPECT_NE(shell.title().find("Untitled *  [h="), std::string::npos) << shell.title();
    questions.saveAnswers.push_back(FileChoice{dir.file("missing/pano.wrl"), vrmlPngRow});
    questions.saveAnswers.push_back(FileChoice{dir.file("pano.wrl"), vrmlPngRow});
    shell.savePanorama(questions, false);  // unnamed: Save asks for a name
    EXPECT_EQ(questions.saveQuestions.size(), 2u);
    EXPECT_EQ(messages.texts().size(), 1u);
    EXPECT_TRUE(fs::exists(dir.file("pano_FR.png")));
    EXPECT_EQ(shell.title(), "pano [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_EQ(listener.titles, 1);

    // Save with a name writes without asking.
    shell.savePanorama(questions, false);
    EXPECT_EQ(questions.saveQuestions.size(), 2u);
}

TEST_F(ShellTest, AWebPageOpensWhereTheViewLookedWhenItWasSaved) {
    start();
    shell.setView(-90 * degToRad, 20 * degToRad);  // the title's h=90, v=20
    constexpr int webPageRow = 15;                  // the format table's "Web page, cube faces" save row
    questions.saveAnswers.push_back(FileChoice{dir.file("site/index.html"), webPageRow});
    shell.savePanorama(questions, true);
    const std::string page = [&] {
        std::ifstream file(dir.file("site/index.html"));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }();
    EXPECT_NE(page.find("yaw: 90,"), std::string::npos) << page;
    EXPECT_NE(page.find("pitch: 20,"), std::string::npos) << page;

    // Opened again, the window looks where the page does, and a save keeps that view.
    shell.setView(0, 0);
    ASSERT_TRUE(shell.openNamedPanorama(questions, dir.file("site/index.html")));
    EXPECT_NEAR(shell.windowHeading(), -90 * degToRad, 1e-5);
    EXPECT_NEAR(shell.windowPitch(), 20 * degToRad, 1e-5);
    EXPECT_NE(shell.title().find("[h=90\u00b0 v=20\u00b0]"), std::string::npos) << shell.title();
    questions.saveAnswers.push_back(FileChoice{dir.file("again/index.html"), webPageRow});
    shell.savePanorama(questions, true);
    const std::string again = [&] {
        std::ifstream file(dir.file("again/index.html"));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }();
    EXPECT_NE(again.find("yaw: 90,"), std::string::npos) << again;
    EXPECT_NE(again.find("pitch: 20,"), std::string::npos) << again;
}

TEST_F(ShellTest, TheExitSequenceRemovesTheTemporaryViewFileUnlessTheUserStays) {
    start();
    const std::string view = dir.file("T_DC1.bmp");
    std::ofstream(view) << "view";
    shell.setTempView(view, 1234);
    shell.panorama()->modified = 1;

    questions.saveChangesAnswers.push_back(MessageAnswer::cancel);
    EXPECT_FALSE(shell.exitSequence(questions));
    EXPECT_TRUE(fs::exists(view));
    EXPECT_EQ(shell.quitRequested(), 0);

    questions.saveChangesAnswers.push_back(MessageAnswer::no);
    EXPECT_TRUE(shell.exitSequence(questions));
    EXPECT_FALSE(fs::exists(view));
    EXPECT_TRUE(shell.tempViewPath().empty());
    EXPECT_EQ(shell.quitRequested(), 1);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(ShellTest, ATemporaryViewFileThatCannotBeDeletedIsReported) {
    start();
    shell.setTempView(dir.file("already gone.bmp"), 1234);
    EXPECT_TRUE(shell.exitSequence(questions));
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0].rfind("Error deleting temporary file \"" + dir.file("already gone.bmp") + "\"", 0), 0u);
    EXPECT_TRUE(shell.tempViewPath().empty());
}

}  // namespace
