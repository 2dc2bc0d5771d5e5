// The GIMP plug-ins against the real editor: its window on a private X server, a sample
// panorama open, GIMP in batch mode painting, sending and turning through the link, and
// GIMP's own window running a menu command as a user does.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "link/domecast_link.h"
#include "panorama/geometry.h"
#include "plugins/gimp_console.h"
#include "support/editor_window.h"
#include "support/link_environment.h"
#include "platform/unique_fd.h"
#include "plugins/sample_faces.h"
#include "support/ppm_pictures.h"
#include "support/programs.h"
#include "support/x_session.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A loopback port no one listens on now.
int freePort() {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!socket || ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    return ntohs(address.sin_port);
}

bool sendAll(int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveAll(int fd, std::string& bytes, std::size_t count) {
    bytes.resize(count);
    for (std::size_t got = 0; got < count;) {
        const ssize_t n = ::recv(fd, bytes.data() + got, count - got, 0);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// GIMP itself on the editor's X server with no image open, the way a user starts work in
// it, and a script-fu server through which the test asks what GIMP holds. Messages go to
// its output instead of dialogs.
class GimpWindow {
public:
    GimpWindow(const std::string& display, const std::string& output, const std::string& noBus)
        : port_(freePort()),
          output_(output),
          gimp_(DOMECAST_GIMP,
                {"--no-splash", "--console-messages", "-b",
                 "(plug-in-script-fu-server RUN-NONINTERACTIVE \"127.0.0.1\" " + std::to_string(port_) + " \"\")"},
                // Without a session bus GIMP cannot hand itself over to another one running.
                {{"DISPLAY", display}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + noBus}}, output) {}

    ~GimpWindow() {
        // Quit, never killed with images open: it would leave a crash backup.
        script("(gimp-quit TRUE)");
        gimp_.waitFor(std::chrono::seconds(60));
    }

    // Runs a script-fu expression; its printed value, or nothing when it failed or GIMP
    // did not answer.
    std::optional<std::string> script(const std::string& expression) {
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        const timeval patience{60, 0};
        if (!socket || port_ <= 0 || expression.size() > 0xffff ||
            ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) != 0 ||
            ::connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return std::nullopt;
        // Request: 'G', the length big-endian in two bytes, the text. Reply: 'G', an error
        // byte, the length, the text.
        const std::string request = std::string("G") + static_cast<char>(expression.size() >> 8) +
                                    static_cast<char>(expression.size() & 0xff) + expression;
        std::string header, text;
        if (!sendAll(socket.get(), request) || !receiveAll(socket.get(), header, 4) || header[0] != 'G') return std::nullopt;
        const std::size_t length = static_cast<std::uint8_t>(header[2]) << 8 | static_cast<std::uint8_t>(header[3]);
        if (!receiveAll(socket.get(), text, length) || header[1] != 0) return std::nullopt;
        return text;
    }

    // Whether GIMP came up and answers scripts.
    bool answers() {
        return waitUntil(std::chrono::seconds(300), [&] { return script("(gimp-image-list)").has_value(); });
    }
    std::string output() const { return readText(output_); }

private:
    int port_;
    std::string output_;
    TestProcess gimp_;
};

class GimpEditorTest : public EditorWindow {
protected:
    void SetUp() override {
        EditorWindow::SetUp();
        if (HasFatalFailure()) return;
        // Turn Left turns by the settings' step.
        presetSettings("shiftAmount=30\n");
        copySampleFaces(work_, original_);
        ::setenv("DOMECAST_LINK_NAME", linkName_.c_str(), 1);
        ASSERT_EQ(makeGimpProfile(work_, {"DomecastActivate", "DomecastLeft"}), "");
    }

    // Runs a menu command of GIMP's as a user may: "/" in its window opens the action
    // search, where the command's label and Return run it.
    void runGimpCommand(const std::string& label) {
        const std::string window = waitForGimpWindow("GNU Image Manipulation Program");
        ASSERT_FALSE(window.empty());
        std::string search;
        for (int attempt = 0; attempt < 3 && search.empty(); ++attempt) {
            xdotool("windowfocus --sync " + window);
            xdotool("key slash");
            search = focusDialog("Search Actions");
        }
        ASSERT_FALSE(search.empty()) << "GIMP's action search did not open";
        xdotool("type --delay 30 '" + label + "'");
        xdotool("key Return");
    }

    // The visible GIMP window whose title holds part; empty when none came.
    std::string waitForGimpWindow(const std::string& part) {
        std::string id;
        waitUntil(60s, [&] {
            id = xdotool("search --onlyvisible --name '" + part + "'");
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        });
        return id;
    }

    // domecast-cli with arguments; its standard error when it failed.
    std::string cli(std::vector<std::string> arguments) {
        ProgramRun run(programPath("domecast-cli"), std::move(arguments));
        return run.exitCode() == 0 ? std::string() : "domecast-cli failed: " + run.err();
    }

    TempDir work_, original_;
};

// A picture rendered as the editor hands it out, a rectangle filled in GIMP, sent; then
// Turn Left brings the view 30 degrees to the left into GIMP. The rectangle lies at the
// right edge, outside the turned view, so that view is the untouched sample's. The faces
// the editor then saves are what the command line makes of the picture sent, whose
// corners carry the view marker and are no paint.
TEST_F(GimpEditorTest, SendsPaintAndTurnsLeft) {
    const std::string sample = work_.file("sample_FR.png"), turned = work_.file("turned.ppm"),
                      picture = work_.file("picture.bmp"), sent = work_.file("sent.ppm");
    ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), picture, "--heading", "0", "--pitch", "0", "--size",
                   "320x240"}),
              "");
    const auto editor = start("editor.out", sample);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.out"));
    EXPECT_NE(waitForTitle(window, "h=0").find("h=0"), std::string::npos);

    GimpRun gimp(work_.file("gimp.err"),
                    {"(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"" + picture + "\" \"picture.bmp\")))"
                     " (drawable (car (gimp-image-get-active-drawable image))))"
                     " (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 280 100 30 40)"
                     " (gimp-context-set-foreground '(255 0 255)) (gimp-drawable-edit-fill drawable FILL-FOREGROUND)"
                     " (gimp-selection-none image)"
                     " (file-ppm-save RUN-NONINTERACTIVE image drawable \"" + sent + "\" \"sent.ppm\" 1)"
                     " (plug-in-domecast-send RUN-NONINTERACTIVE image drawable)"
                     " (plug-in-domecast-turn-left RUN-NONINTERACTIVE image drawable)"
                     " (file-ppm-save RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)) \"" +
                         turned + "\" \"turned.ppm\" 1))"});
    ASSERT_EQ(gimp.exitCode(), 0) << gimp.err() << readText(config_.file("editor.out"));
    const std::string errors = gimp.err();
    EXPECT_EQ(errors.find("execution error"), std::string::npos) << errors;
    // The paint was taken (the panorama is modified) and the view turned left.
    EXPECT_NE(waitForTitle(window, "*  [h=330").find("*  [h=330"), std::string::npos)
        << readText(config_.file("editor.out"));

    // GIMP's picture is the view 30 degrees to the left, its corners marked with the
    // editor's angles of that view.
    ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), work_.file("left.bmp"), "--heading", "-30", "--pitch",
                   "0", "--size", "320x240"}),
              "");
    int width = 0, height = 0;
    const std::vector<std::uint8_t> got = ppmPixels(turned, width, height);
    ASSERT_EQ(width, 320) << errors;
    ASSERT_EQ(height, 240);
    EXPECT_EQ(differingOutsideCorners(got, width, height, RawImage(work_.file("left.bmp").c_str())), 0);
    const std::uint32_t marker = domecast_view_marker(static_cast<float>(30) * degToRad, 0);
    const std::uint8_t* corner = &got[0];
    EXPECT_EQ(corner[0] | corner[1] << 8 | corner[2] << 16, static_cast<int>(marker & 0xffffff));

    // Opened from the command line, the panorama is saved where it came from.
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "sample [h=330").find("sample [h=330"), 0u) << readText(config_.file("editor.out"));
    int sentWidth = 0, sentHeight = 0;
    const std::vector<std::uint8_t> sentPixels = ppmPixels(sent, sentWidth, sentHeight);
    ASSERT_EQ(sentWidth, 320) << errors;
    ASSERT_EQ(sentHeight, 240);
    const auto sentPicture = pictureFromRgb(sentPixels, sentWidth, sentHeight);
    SaveBMP(work_.file("sent.bmp").c_str(), sentPicture->size(), sentPicture->stride, 3, sentPicture->pixels);
    ASSERT_EQ(cli({"apply", original_.file("sample_FR.png"), work_.file("sent.bmp"), work_.file("expected.wrl"),
                   "--heading", "0", "--pitch", "0", "--to", "3"}),
              "");
    expectSavedFacesAsExpected(work_, original_);

    // Turned in the editor after all that, "Get View from Domecast" brings the view the
    // title names, not the one GIMP was given last, and the editor does not turn back.
    // Ctrl+R turns to h=90 however often it arrives: pressed again until the title shows it.
    const std::string turned90 = "[h=90\u00b0 v=0\u00b0]";
    EXPECT_TRUE(waitUntil(30s, [&] {
        xdotool("windowfocus --sync " + window);
        xdotool("key ctrl+r");
        return waitForTitle(window, turned90).find(turned90) != std::string::npos;
    }));
    const std::string fetched = work_.file("fetched.ppm");
    GimpRun getView(work_.file("gimp-get-view.err"),
                    {"(let ((view (car (plug-in-domecast-get-view RUN-NONINTERACTIVE -1 -1))))"
                     " (file-ppm-save RUN-NONINTERACTIVE view (car (gimp-image-get-active-drawable view)) \"" +
                     fetched + "\" \"fetched.ppm\" 1))"});
    ASSERT_EQ(getView.exitCode(), 0) << getView.err();
    EXPECT_EQ(getView.err().find("execution error"), std::string::npos) << getView.err();
    EXPECT_NE(xdotool("getwindowname " + window).find(turned90), std::string::npos);
    int fetchedWidth = 0, fetchedHeight = 0;
    const std::vector<std::uint8_t> view = ppmPixels(fetched, fetchedWidth, fetchedHeight);
    ASSERT_GT(fetchedWidth, 0) << getView.err();
    ASSERT_EQ(cli({"render", sample, work_.file("right.bmp"), "--heading", "90", "--pitch", "0", "--size",
                   std::to_string(fetchedWidth) + "x" + std::to_string(fetchedHeight)}),
              "");
    EXPECT_EQ(differingOutsideCorners(view, fetchedWidth, fetchedHeight, RawImage(work_.file("right.bmp").c_str())),
              0);

    editor->signal(SIGTERM);
    editor->waitFor(10s);
}

// "Get View from Domecast" from GIMP's menu with no image open, as a user starts work:
// without the editor it says so in GIMP and makes nothing; with the editor it makes a new
// 1024 x 768 image of the editor's view and shows it.
TEST_F(GimpEditorTest, GetsTheViewFromTheMenuWithNoImageOpen) {
    GimpWindow gimp(server_.display(), work_.file("gimp.out"), work_.file("no-bus"));
    ASSERT_TRUE(gimp.answers()) << gimp.output();

    runGimpCommand("Get View from Domecast");
    if (HasFatalFailure()) return;
    const std::string notRunning = "Domecast is not running; command cancelled.";
    EXPECT_TRUE(waitUntil(60s, [&] { return gimp.output().find(notRunning) != std::string::npos; })) << gimp.output();
    EXPECT_EQ(gimp.script("(car (gimp-image-list))"), "0");

    const std::string sample = work_.file("sample_FR.png");
    const auto editor = start("editor.out", sample);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.out"));
    EXPECT_NE(waitForTitle(window, "h=0").find("h=0"), std::string::npos);

    runGimpCommand("Get View from Domecast");
    if (HasFatalFailure()) return;
    // GIMP shows the new image once the plug-in has filled it.
    ASSERT_FALSE(waitForGimpWindow("1 layer) 1024x768").empty()) << gimp.output();
    EXPECT_EQ(gimp.script("(car (gimp-image-list))"), "1");
    const std::string fetched = work_.file("fetched.ppm");
    ASSERT_TRUE(gimp.script("(let ((view (vector-ref (cadr (gimp-image-list)) 0)))"
                            " (file-ppm-save RUN-NONINTERACTIVE view (car (gimp-image-get-active-drawable view)) \"" +
                            fetched + "\" \"fetched.ppm\" 1))"))
        << gimp.output();
    int width = 0, height = 0;
    const std::vector<std::uint8_t> view = ppmPixels(fetched, width, height);
    ASSERT_EQ(width, 1024) << gimp.output();
    ASSERT_EQ(height, 768);
    ASSERT_EQ(cli({"render", sample, work_.file("front.bmp"), "--heading", "0", "--pitch", "0", "--size", "1024x768"}),
              "");
    EXPECT_EQ(differingOutsideCorners(view, width, height, RawImage(work_.file("front.bmp").c_str())), 0);
    // The editor only handed out its view: it neither turned nor took paint.
    EXPECT_NE(xdotool("getwindowname " + window).find("sample [h=0"), std::string::npos);

    editor->signal(SIGTERM);
    editor->waitFor(10s);
}

}  // namespace
