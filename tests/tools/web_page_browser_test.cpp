// Pages written by domecast-cli as a browser shows them: Debian's headless Chromium loads
// the page from its file:// URL, draws it with WebGL in SwiftShader and takes a
// screenshot, which is compared with domecast-cli render of the same view.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/png.h"
#include "support/programs.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr char chromium[] = "/usr/bin/chromium";

std::string quoted(const std::string& text) { return "'" + text + "'"; }

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int cli(const std::vector<std::string>& args) {
    std::string command = quoted(programPath("domecast-cli"));
    for (const std::string& a : args) command += " " + quoted(a);
    return run(command + " >/dev/null 2>&1");
}

// The page's own direction and the window's size decide the view; the page opens with
// the viewer's horizontal field of view of 100 degrees.
constexpr double pageFieldOfView = 100;
constexpr int shotWidth = 400, shotHeight = 300;

// The vertical field of view that goes with the page's horizontal one in the window.
double verticalFieldOfView() {
    const double half = pageFieldOfView / 2 * M_PI / 180;
    return 2 * std::atan(std::tan(half) * shotHeight / shotWidth) * 180 / M_PI;
}

class Browser : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(chromium)) << "scripts/install-deps installs Debian's chromium"; }

    // The page drawn by the browser, or an empty picture. The flags keep Chromium off
    // this machine's closed network (no background connections, a fresh profile);
    // SwiftShader gives it WebGL without a GPU. Virtual time lets the page load its
    // faces and draw before the screenshot is taken.
    std::unique_ptr<RawImage> screenshot(const std::string& page) { return screenshotOf("file://" + page); }

    std::unique_ptr<RawImage> screenshotOf(const std::string& url) {
        const std::string png = dir.file("shot" + std::to_string(++shots) + ".png");
        const std::string profile = dir.file("profile" + std::to_string(shots));
        const std::string command =
            std::string("timeout 120 ") + chromium +
            " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
            " --disable-background-networking --disable-component-update --disable-sync"
            " --use-angle=swiftshader --enable-unsafe-swiftshader --hide-scrollbars"
            " --user-data-dir=" + quoted(profile) + " --window-size=" + std::to_string(shotWidth) + "," +
            std::to_string(shotHeight) + " --virtual-time-budget=10000 --screenshot=" + quoted(png) + " " +
            quoted(url) + " >/dev/null 2>&1";
        auto shot = std::make_unique<RawImage>(Size{0, 0});
        if (run(command) != 0 || !fs::exists(png)) {
            ADD_FAILURE() << "no screenshot: " << command;
            return shot;
        }
        LoadPNG(png.c_str(), &RawImage::sink, shot.get());
        return shot;
    }

    std::unique_ptr<RawImage> rendered(const std::string& panorama, const std::vector<std::string>& from, double heading,
                      double pitch) {
        const std::string bmp = dir.file("render" + std::to_string(++shots) + ".bmp");
        char fov[64];
        std::snprintf(fov, sizeof fov, "%gx%.4f", pageFieldOfView, verticalFieldOfView());
        std::vector<std::string> args = {"render", panorama, bmp, "--heading", std::to_string(heading), "--pitch",
                                         std::to_string(pitch), "--size",
                                         std::to_string(shotWidth) + "x" + std::to_string(shotHeight), "--fov", fov};
        args.insert(args.end(), from.begin(), from.end());
        auto picture = std::make_unique<RawImage>(Size{0, 0});
        EXPECT_EQ(cli(args), 0);
        LoadBMP(bmp.c_str(), &RawImage::sink, picture.get());
        return picture;
    }

    TempDir dir;
    int shots = 0;
};

// Python's static file server on a free port of the loopback, serving folder while it lives.
class StaticServer {
public:
    explicit StaticServer(const std::string& folder) {
        port_ = freePort();
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string port = std::to_string(port_);
            ::freopen("/dev/null", "w", stdout);
            ::freopen("/dev/null", "w", stderr);
            ::execl("/usr/bin/python3", "python3", "-m", "http.server", port.c_str(), "--bind", "127.0.0.1",
                    "--directory", folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !accepting(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~StaticServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    StaticServer(const StaticServer&) = delete;
    StaticServer& operator=(const StaticServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + path; }
    bool accepting() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port_);
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return connected;
    }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    // A port the system hands out as free, given up again for the server to take.
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }

    int port_ = 0;
    pid_t pid_ = -1;
};

// Grey levels averaged over blocks of 8 x 8 pixels, leaving out the borders where the
// viewer draws its buttons (top left) and its title (bottom left) and the render its view
// marker (the corners).
std::vector<double> blockMeans(const BGRImage& picture) {
    constexpr int block = 8, left = 48, right = 8, top = 8, bottom = 48;
    std::vector<double> means;
    // Rows count from the bottom.
    for (int by = bottom; by + block <= picture.height - top; by += block)
        for (int bx = left; bx + block <= picture.width - right; bx += block) {
            double sum = 0;
            for (int y = by; y < by + block; ++y)
                for (int x = bx; x < bx + block; ++x) {
                    const std::uint8_t* p = picture.row(y) + 3 * x;
                    sum += 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
                }
            means.push_back(sum / (block * block));
        }
    return means;
}

// How alike two views are in structure: the correlation of their block means and the
// mean difference between them. The viewer filters the faces otherwise than the render
// (and the page's faces are JPEG), so pixels never agree exactly.
struct Likeness {
    double correlation = 0;
    double meanDifference = 255;
    bool alike() const { return correlation >= 0.95 && meanDifference <= 12; }
};

Likeness likeness(const BGRImage& a, const BGRImage& b) {
    if (a.size() != b.size() || a.width == 0) return {};
    const std::vector<double> x = blockMeans(a), y = blockMeans(b);
    double mx = 0, my = 0, difference = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i];
        my += y[i];
        difference += std::abs(x[i] - y[i]);
    }
    mx /= static_cast<double>(x.size());
    my /= static_cast<double>(y.size());
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return {sxy / std::sqrt(sxx * syy), difference / static_cast<double>(x.size())};
}

// A sphere of squares in colours that change with longitude and latitude, with a black
// meridian above the horizon straight ahead: every direction looks different.
void writeCheckeredSphere(const std::string& path) {
    RawImage sphere(Size{1024, 512});
    for (int y = 0; y < sphere.height; ++y)
        for (int x = 0; x < sphere.width; ++x) {
            std::uint8_t* p = sphere.row(y) + 3 * x;
            p[0] = ((x / 64) + (y / 64)) % 2 != 0 ? 255 : 0;
            p[1] = static_cast<std::uint8_t>(255 * y / sphere.height);
            p[2] = static_cast<std::uint8_t>(255 * x / sphere.width);
            if (std::abs(x - sphere.width / 2) < 8 && y > sphere.height / 2) p[0] = p[1] = p[2] = 0;
        }
    SaveBMP(path.c_str(), sphere.size(), sphere.stride, 3, sphere.pixels);
}

TEST_F(Browser, ThePageShowsTheViewTheRenderShows) {
    const std::string sphere = dir.file("sphere.bmp");
    writeCheckeredSphere(sphere);
    const std::vector<std::string> from = {"--from", "LivePicture, SPHERE/CYLINDER, BMP"};
    struct Case {
        double heading, pitch;
    } cases[] = {{0, 0}, {90, 0}, {0, 60}};
    std::vector<std::unique_ptr<RawImage>> shots;
    for (const Case& c : cases) {
        SCOPED_TRACE("h=" + std::to_string(c.heading) + " v=" + std::to_string(c.pitch));
        const std::string folder = dir.file("h" + std::to_string(int(c.heading)) + "v" + std::to_string(int(c.pitch)));
        std::vector<std::string> convert = {"convert", sphere, folder + "/index.html", "--to", "Web page, cube faces",
                                            "--heading", std::to_string(c.heading), "--pitch", std::to_string(c.pitch)};
        convert.insert(convert.end(), from.begin(), from.end());
        ASSERT_EQ(cli(convert), 0);
        std::unique_ptr<RawImage> shot = screenshot(folder + "/index.html");
        const std::unique_ptr<RawImage> render = rendered(sphere, from, c.heading, c.pitch);
        ASSERT_EQ(shot->size(), (Size{shotWidth, shotHeight}));
        const Likeness same = likeness(*shot, *render);
        EXPECT_TRUE(same.alike()) << "correlation " << same.correlation << ", mean difference "
                                  << same.meanDifference;
        shots.push_back(std::move(shot));
    }
    // The comparison tells views apart: the view ahead is not the view to the right.
    const Likeness other = likeness(*shots[1], *rendered(sphere, from, 0, 0));
    EXPECT_FALSE(other.alike()) << "correlation " << other.correlation << ", mean difference " << other.meanDifference;
}

TEST_F(Browser, AWebServerServesThePageWithItsFaceFiles) {
    const std::string sphere = dir.file("sphere.bmp");
    writeCheckeredSphere(sphere);
    const std::string folder = dir.file("site");
    ASSERT_EQ(cli({"convert", sphere, folder + "/index.html", "--from", "LivePicture, SPHERE/CYLINDER, BMP", "--to",
                   "Web page, cube faces", "--heading", "30", "--pitch", "-20"}),
              0);
    const std::unique_ptr<RawImage> fromDisk = screenshot(folder + "/index.html");
    // Over HTTP the page shows the face files themselves: without the faces script it
    // still draws the same view.
    fs::remove(folder + "/index_faces.js");
    StaticServer server(folder);
    ASSERT_TRUE(server.accepting());
    const std::unique_ptr<RawImage> served = screenshotOf(server.url("index.html"));
    ASSERT_EQ(served->size(), (Size{shotWidth, shotHeight}));
    const Likeness same = likeness(*served, *fromDisk);
    EXPECT_TRUE(same.alike()) << "correlation " << same.correlation << ", mean difference " << same.meanDifference;
    const Likeness rendering = likeness(*served, *rendered(sphere, {"--from", "8"}, 30, -20));
    EXPECT_TRUE(rendering.alike()) << "correlation " << rendering.correlation << ", mean difference "
                                   << rendering.meanDifference;
}

TEST_F(Browser, EachDirectionShowsItsOwnFace) {
    // Six faces of six colours, read as a background's face files.
    struct Face {
        const char* suffix;
        std::uint8_t blue, green, red;
        double heading, pitch;
    } faces[] = {
        {"_FR", 0, 0, 255, 0, 0},     {"_BK", 255, 255, 0, 180, 0}, {"_LF", 0, 255, 0, 270, 0},
        {"_RT", 255, 0, 0, 90, 0},    {"_UP", 0, 255, 255, 0, 90},  {"_DN", 255, 0, 255, 0, -90},
    };
    for (const Face& f : faces) {
        RawImage face(Size{64, 64});
        for (int y = 0; y < face.height; ++y)
            for (int x = 0; x < face.width; ++x) {
                std::uint8_t* p = face.row(y) + 3 * x;
                p[0] = f.blue;
                p[1] = f.green;
                p[2] = f.red;
            }
        SaveBMP(dir.file(std::string("cube") + f.suffix + ".bmp").c_str(), face.size(), face.stride, 3, face.pixels);
    }
    for (const Face& f : faces) {
        SCOPED_TRACE(f.suffix);
        const std::string page = dir.file(std::string("page") + f.suffix + "/index.html");
        ASSERT_EQ(cli({"convert", dir.file("cube_FR.bmp"), page, "--from", "LivePicture Background, BMP", "--to",
                       "Web page, cube faces", "--heading", std::to_string(f.heading), "--pitch",
                       std::to_string(f.pitch)}),
                  0);
        const std::unique_ptr<RawImage> shot = screenshot(page);
        ASSERT_EQ(shot->size(), (Size{shotWidth, shotHeight}));
        const std::uint8_t* centre = shot->row(shotHeight / 2) + 3 * (shotWidth / 2);
        EXPECT_NEAR(centre[0], f.blue, 40);
        EXPECT_NEAR(centre[1], f.green, 40);
        EXPECT_NEAR(centre[2], f.red, 40);
    }
}

}  // namespace
