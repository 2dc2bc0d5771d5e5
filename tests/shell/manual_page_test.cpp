// Where Help finds the manual, and what the user reads when the desktop cannot show it.
#include "shell/manual_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/known_folders.h"
#include "platform/settings.h"
#include "shell/desktop_open.h"
#include "support/scoped_env.h"
#include "support/settings_folder.h"
#include "support/text_files.h"

namespace {

using ManualPage = SettingsFolderTest;

TEST_F(ManualPage, TheDocPathSettingElseTheFolderBesideTheProgram) {
    const std::string beside = std::filesystem::path(programFolder()).parent_path().string() + "/share/doc/domecast/manual";
    EXPECT_EQ(manualPage("index.html"), beside + "/index.html");
    writeStringSetting("DocPath", "/opt/domecast/manual");
    EXPECT_EQ(manualPage("Domecast.html"), "/opt/domecast/manual/Domecast.html");
    EXPECT_TRUE(recorder.messages().empty());  // a missing setting is no error here
}

// With no opener on PATH the start fails at once; the message then names the manual's
// file, which the user can open by hand.
TEST_F(ManualPage, WithoutAnOpenerTheMessageSaysWhereTheManualIs) {
    const std::string page = dir.file("manual/index.html");
    writeText(page, "<html></html>\n");
    ScopedEnv path("PATH", dir.file("no programs"));
    DesktopOpen open;
    EXPECT_EQ(open.start({"file://" + page}), DesktopOpen::State::failed);
    EXPECT_EQ(manualFailureMessage(page, open.reason()),
              "Could not open the Domecast manual (xdg-open: No such file or directory).\n\nThe manual is\n" + page +
                  "\nOpen it in a web browser.");
    EXPECT_EQ(manualFailureMessage(dir.file("manual/gone.html"), open.reason()),
              "The Domecast manual is not installed:\n" + dir.file("manual/gone.html") + "\nwas not found.");
}

}  // namespace
