// Target: a key press shows its frame within 10 ms (median) and 16 ms (p90) in a
// 1500 x 1000 view of 1024-pixel faces, and a frame of continuous turning costs at most
// 6 ms of the editor's processor time, on the team's 2-core machine with Mesa llvmpipe.
//
// Measured from outside, as the user sees it: the editor runs on a private Xvfb, a key
// goes in through the X test extension, and the time runs until the X server reports
// damage on the editor's main window (which takes in what its children draw). "extra"
// counts the further updates within 120 ms of a press: a frame that reaches the screen
// twice. The editor's processor time (all its threads) is read from /proc around the
// presses. Then a drag on the view turns it continuously for a few seconds: the frames
// that reach the screen, their median interval and the processor time per frame.
//
//   build/bench/window_bench [--presses N] [--sizes 800x600,1500x1000] [--turn SECONDS]
//                            [--file FACE] [--perf PREFIX]
//
// --perf records each size's presses with perf (PREFIX-WxH.data) for `perf report`.
// Run by hand: the figures depend on the machine's load, so quote `uptime` with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image/bgr_image.h"
#include "platform/io_exception.h"
#include "support/programs.h"
#include "support/temp_dir.h"
#include "support/x_session.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int presses = 50;
    std::vector<Size> sizes{{800, 600}, {1500, 1000}};
    int turnSeconds = 3;
    std::string file = DOMECAST_SOURCE_DIR "/resources/sample/sample_FR.png";
    std::string perfPrefix;
};

std::optional<Size> parseSize(const std::string& text) {
    int w = 0, h = 0;
    char x = 0;
    std::istringstream in(text);
    if (!(in >> w >> x >> h) || x != 'x' || w <= 0 || h <= 0) return std::nullopt;
    return Size{w, h};
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const std::string value = argv[++i];
        if (name == "--presses") {
            options.presses = std::atoi(value.c_str());
            if (options.presses < 1) return std::nullopt;
        } else if (name == "--turn") {
            options.turnSeconds = std::atoi(value.c_str());
        } else if (name == "--file") {
            options.file = value;
        } else if (name == "--perf") {
            options.perfPrefix = value;
        } else if (name == "--sizes") {
            options.sizes.clear();
            std::istringstream list(value);
            for (std::string item; std::getline(list, item, ',');) {
                const auto size = parseSize(item);
                if (!size) return std::nullopt;
                options.sizes.push_back(*size);
            }
        } else {
            return std::nullopt;
        }
    }
    return options;
}

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Nearest-rank percentile of a sorted list.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const auto rank = static_cast<std::size_t>(std::max(1.0, p / 100.0 * static_cast<double>(sorted.size()) + 0.999999));
    return sorted[std::min(rank, sorted.size()) - 1];
}

// Processor time of every thread of the process so far, in milliseconds.
double processorMs(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        double ns = 0;
        if (in >> ns) total += ns / 1e6;
    }
    return total;
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The damage on every window of one editor, read through the X damage extension.
class DamageWatch {
public:
    DamageWatch(Display* display, Window top) : display_(display) {
        int error = 0;
        if (!XDamageQueryExtension(display_, &eventBase_, &error)) return;
        watch(top);
        XSync(display_, False);
        drain(Clock::now() + 200ms);
        ok_ = true;
    }
    ~DamageWatch() {
        for (const auto& [damage, window] : damages_) XDamageDestroy(display_, damage);
        XSync(display_, False);
    }
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    bool ok() const { return ok_; }

    // The time of the next damage report, or nothing when none comes before deadline.
    std::optional<Clock::time_point> next(Clock::time_point deadline) {
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != eventBase_ + XDamageNotify) continue;
                const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
                // Reports come again only once the damage is cleared.
                XDamageSubtract(display_, notify.damage, None, None);
                XFlush(display_);
                return Clock::now();
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        }
    }

    // The number of damage reports until deadline.
    int drain(Clock::time_point deadline) {
        int count = 0;
        while (next(deadline)) ++count;
        return count;
    }

private:
    void watch(Window window) {
        // A window's damage includes what is drawn in its children.
        damages_[XDamageCreate(display_, window, XDamageReportNonEmpty)] = window;
    }

    Display* display_;
    int eventBase_ = 0;
    bool ok_ = false;
    std::map<Damage, Window> damages_;
};

// One run of the editor on the server showing the panorama of file.
class Editor {
public:
    Editor(const XServer& server, const std::string& file, bool snapshots) : server_(server) {
        std::filesystem::create_directories(config_.path() / "domecast");
        // The editor reads DefaultFile; naming a file that does not exist keeps it quiet.
        std::ofstream(config_.file("domecast/domecast.conf")) << "[Domecast]\nDefaultFile=" << config_.file("none.bmp") << "\n";
        std::vector<std::string> arguments{"DOMECAST_MESSAGES=stderr"};
        if (snapshots) arguments.push_back("DOMECAST_TEST_SNAPSHOT=" + snapshotPath());
        arguments.push_back(file);
        process_ = std::make_unique<TestProcess>(
            programPath("domecast"), arguments,
            std::map<std::string, std::string>{{"DISPLAY", server.display()},
                                               {"XDG_CONFIG_HOME", config_.path().string()},
                                               {"DOMECAST_DEFAULTS", "none"},
                                               {"DOMECAST_LINK_NAME", "DomecastWindowBench" + std::to_string(::getpid())},
                                               {"GDK_BACKEND", "x11"}},
            config_.file("output.txt"));
    }
    ~Editor() {
        process_->signal(SIGTERM);
        process_->waitFor(5s);
    }

    pid_t pid() const { return process_->pid(); }
    std::string snapshotPath() const { return config_.file("view.bmp"); }
    std::string output() const {
        std::ifstream in(config_.file("output.txt"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string xdotool(const std::string& arguments) const {
        return runCommand("env DISPLAY=" + server_.display() + " xdotool " + arguments).value_or("");
    }
    // The main window, once it shows the panorama.
    std::string window() const {
        std::string id;
        waitUntil(60s, [&] {
            id = xdotool("search --onlyvisible --name ' - Domecast$'");
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        });
        return id;
    }

private:
    const XServer& server_;
    TempDir config_;
    std::unique_ptr<TestProcess> process_;
};

// The size of the last full-resolution view the editor draws after action, once no
// other follows for a second.
std::optional<Size> viewSizeAfter(const Editor& editor, const std::function<void()>& action) {
    std::optional<Size> size;
    std::filesystem::remove(editor.snapshotPath());
    action();
    auto quietUntil = Clock::now() + 20s;
    while (Clock::now() < quietUntil) {
        std::this_thread::sleep_for(50ms);
        if (!std::filesystem::exists(editor.snapshotPath())) continue;
        try {
            const RawImage shot(editor.snapshotPath().c_str());
            std::filesystem::remove(editor.snapshotPath());
            if (shot.pixels == nullptr) continue;
            size = shot.size();
            quietUntil = Clock::now() + 1s;
        } catch (const ioException&) {
        }
    }
    return size;
}

// What the main window adds around the view area: sized once with snapshots on.
std::optional<Size> windowMargins(const XServer& server, const std::string& file) {
    Editor editor(server, file, true);
    const std::string window = editor.window();
    if (window.empty()) return std::nullopt;
    const Size probe{900, 700};
    const auto view = viewSizeAfter(editor, [&] {
        editor.xdotool("windowsize --sync " + window + " " + std::to_string(probe.width) + " " +
                       std::to_string(probe.height));
    });
    editor.xdotool("windowfocus --sync " + window);
    const auto again = viewSizeAfter(editor, [&] { editor.xdotool("key Left"); });
    if (!view || !again || view->width != again->width || view->height != again->height) {
        std::fprintf(stderr, "view %dx%d, then %dx%d\n%s\n", view ? view->width : 0, view ? view->height : 0,
                     again ? again->width : 0, again ? again->height : 0, editor.output().c_str());
        return std::nullopt;
    }
    return Size{probe.width - view->width, probe.height - view->height};
}

struct Figures {
    std::vector<double> latencies;  // sorted, ms
    int missed = 0;
    int extraUpdates = 0;
    double processorPerPress = 0;
    int turnFrames = 0;
    double processorPerTurnFrame = 0;
    double turnFrameInterval = 0;  // median, ms
};

class PerfRecording {
public:
    PerfRecording(const std::string& prefix, Size size, pid_t pid) {
        if (prefix.empty()) return;
        const std::string path = prefix + "-" + std::to_string(size.width) + "x" + std::to_string(size.height) + ".data";
        process_ = std::make_unique<TestProcess>(
            "/usr/bin/perf", std::vector<std::string>{"record", "-q", "-F", "2000", "-g", "-p", std::to_string(pid), "-o", path},
            std::map<std::string, std::string>{}, path + ".log");
        std::this_thread::sleep_for(1s);
    }
    ~PerfRecording() {
        if (!process_) return;
        process_->signal(SIGINT);
        process_->waitFor(30s);
    }

private:
    std::unique_ptr<TestProcess> process_;
};

std::optional<Figures> measure(const XServer& server, const Options& options, Size viewSize, Size margins) {
    Editor editor(server, options.file, false);
    const std::string window = editor.window();
    if (window.empty()) {
        std::fprintf(stderr, "the editor's window did not appear:\n%s\n", editor.output().c_str());
        return std::nullopt;
    }
    editor.xdotool("windowsize --sync " + window + " " + std::to_string(viewSize.width + margins.width) + " " +
                   std::to_string(viewSize.height + margins.height));
    editor.xdotool("windowfocus --sync " + window);
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(server.display().c_str()));
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display.get(), &event, &error, &major, &minor)) return std::nullopt;
    Display* d = display.get();
    // Let the resize and the first frames settle before watching.
    std::this_thread::sleep_for(1s);
    DamageWatch damage(d, static_cast<Window>(std::stoul(window)));
    if (!damage.ok()) return std::nullopt;

    Figures figures;
    const KeyCode left = XKeysymToKeycode(d, XK_Left);
    {
        PerfRecording perf(options.perfPrefix, viewSize, editor.pid());
        const double before = processorMs(editor.pid());
        for (int i = 0; i < options.presses; ++i) {
            XTestFakeKeyEvent(d, left, True, CurrentTime);
            XFlush(d);
            const auto start = Clock::now();
            const auto shown = damage.next(start + 2s);
            XTestFakeKeyEvent(d, left, False, CurrentTime);
            XFlush(d);
            if (shown)
                figures.latencies.push_back(milliseconds(*shown - start));
            else
                ++figures.missed;
            // Any further update of the same press arrives in this pause.
            figures.extraUpdates += damage.drain(Clock::now() + 120ms);
        }
        figures.processorPerPress = (processorMs(editor.pid()) - before) / options.presses;
    }
    std::sort(figures.latencies.begin(), figures.latencies.end());

    if (options.turnSeconds > 0) {
        // A drag to the right of its press point turns the view until the button goes up.
        Window child = 0;
        int x = 0, y = 0;
        XTranslateCoordinates(d, static_cast<Window>(std::stoul(window)), DefaultRootWindow(d), 0, 0, &x, &y, &child);
        const int cx = x + margins.width / 2 + viewSize.width / 3, cy = y + margins.height / 2 + viewSize.height / 2;
        XTestFakeMotionEvent(d, DefaultScreen(d), cx, cy, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XFlush(d);
        std::this_thread::sleep_for(100ms);
        XTestFakeMotionEvent(d, DefaultScreen(d), cx + 150, cy, CurrentTime);
        XFlush(d);
        damage.drain(Clock::now() + 500ms);
        const double before = processorMs(editor.pid());
        const auto end = Clock::now() + std::chrono::seconds(options.turnSeconds);
        std::vector<double> intervals;
        std::optional<Clock::time_point> last;
        while (const auto shown = damage.next(end)) {
            ++figures.turnFrames;
            if (last) intervals.push_back(milliseconds(*shown - *last));
            last = shown;
        }
        const double used = processorMs(editor.pid()) - before;
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XFlush(d);
        std::sort(intervals.begin(), intervals.end());
        figures.turnFrameInterval = percentile(intervals, 50);
        figures.processorPerTurnFrame = figures.turnFrames > 0 ? used / figures.turnFrames : 0;
    }
    return figures;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: window_bench [--presses N] [--sizes WxH,...] [--turn SECONDS] [--file FACE] "
                     "[--perf PREFIX]\n");
        return 2;
    }
    // Room for the largest view and the panel around it.
    XServer server("2400x1600x24");
    if (!server.ok()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    const auto margins = windowMargins(server, options->file);
    if (!margins) {
        std::fprintf(stderr, "could not size the editor's window\n");
        return 1;
    }
    std::printf("load average before: %s\n", loadAverage().c_str());
    std::printf("%-10s %8s %8s %8s %6s %7s %10s | %7s %9s %10s\n", "view", "median", "p90", "max", "lost", "extra",
                "cpu/press", "frames", "interval", "cpu/frame");
    int status = 0;
    for (const Size size : options->sizes) {
        const auto figures = measure(server, *options, size, *margins);
        if (!figures || figures->latencies.empty()) {
            std::fprintf(stderr, "no figures for %dx%d\n", size.width, size.height);
            status = 1;
            continue;
        }
        const auto& l = figures->latencies;
        const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
        std::printf("%-10s %6.1fms %6.1fms %6.1fms %6d %7d %8.1fms | %7d %7.1fms %8.1fms\n", name.c_str(),
                    percentile(l, 50), percentile(l, 90), l.back(), figures->missed, figures->extraUpdates,
                    figures->processorPerPress, figures->turnFrames, figures->turnFrameInterval,
                    figures->processorPerTurnFrame);
        std::fflush(stdout);
    }
    std::printf("load average after: %s\n", loadAverage().c_str());
    return status;
}
