#include "support/link_environment.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/local_socket.h"

namespace {
constexpr unsigned testAlarmSeconds = 60;
constexpr unsigned childAlarmSeconds = 30;
}  // namespace

LinkEnvironment::LinkEnvironment() {
    static int counter = 0;
    name_ = "DomecastTest" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    ::setenv("DOMECAST_LINK_NAME", name_.c_str(), 1);
    ::setenv("DOMECAST_DEBUGPRINT_SOCKET", (name_ + "_nobody").c_str(), 1);
    ::unsetenv("DOMECAST_DEBUG_IPC");
    ::alarm(testAlarmSeconds);
}

LinkEnvironment::~LinkEnvironment() {
    ::alarm(0);
    ::unsetenv("DOMECAST_LINK_NAME");
    const std::string folder = localSocketFolder();
    std::error_code error;
    if (folder.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(name_ + "_bell.")) std::filesystem::remove(entry.path(), error);
}

Beacon::Beacon() {
    int ends[2];
    if (::pipe(ends) == 0) {
        read_.reset(ends[0]);
        write_.reset(ends[1]);
    }
}

bool Beacon::send() const { return ::write(write_.get(), "b", 1) == 1; }

bool Beacon::await() const {
    char byte = 0;
    return ::read(read_.get(), &byte, 1) == 1;
}

pid_t runChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::alarm(childAlarmSeconds);
    int result = 100;
    try {
        result = body();
    } catch (...) {
    }
    // No destructors, no atexit handlers of the test program in the child.
    ::_exit(result);
}

int exitCodeOf(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

namespace {
std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

ProgramRun::ProgramRun(const std::string& program, std::vector<std::string> arguments) {
    const std::string out = folder_.file("out"), err = folder_.file("err");
    arguments.insert(arguments.begin(), program);
    pid_ = runChild([&] {
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) return 120;
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        return 121;
    });
}

bool ProgramRun::ended() {
    if (exit_ >= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

int ProgramRun::exitCode() {
    if (exit_ < 0) exit_ = exitCodeOf(pid_);
    return exit_;
}

std::string ProgramRun::out() { return exitCode(), readFile(folder_.file("out")); }
std::string ProgramRun::err() { return exitCode(), readFile(folder_.file("err")); }

std::uint8_t patternByte(int x, int y, int channel) {
    switch (channel) {
        case 0: return static_cast<std::uint8_t>(x * 7 + y);
        case 1: return static_cast<std::uint8_t>(x + y * 3);
        default: return static_cast<std::uint8_t>((x ^ y) + 11);
    }
}

std::vector<std::uint8_t> patternWithCorners(int width, int height, const std::uint8_t* corner) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool isCorner = (x == 0 || x == width - 1) && (y == 0 || y == height - 1);
            for (int c = 0; c < 3; ++c) bytes.push_back(corner != nullptr && isCorner ? corner[c] : patternByte(x, y, c));
        }
    return bytes;
}

std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
    return hash;
}

TileSource patternSource() {
    return [](const TileRect& tile, std::uint8_t* p) {
        for (int y = tile.top; y < tile.bottom; ++y)
            for (int x = tile.left; x < tile.right; ++x)
                for (int c = 0; c < 3; ++c) *p++ = patternByte(x, y, c);
    };
}

bool tileHoldsPattern(const std::uint8_t* pixels, const TileRect& tile) {
    for (int y = tile.top; y < tile.bottom; ++y)
        for (int x = tile.left; x < tile.right; ++x)
            for (int c = 0; c < 3; ++c)
                if (*pixels++ != patternByte(x, y, c)) return false;
    return true;
}

void LinkApplicationTest::SetUp() { ASSERT_EQ(PaintLink::openAsApplication(app), nullptr); }

void LinkApplicationTest::TearDown() {
    if (app) app->close();
}

void LinkApplicationTest::streamView(int width, int height, float heading, float pitch) {
    for (int i = 0; i < 500 && app->record().pluginProcessId == 0; ++i) ::usleep(10000);
    app->setImageSize(width, height);
    TileSender sender(*app, heading, pitch, patternSource());
    ASSERT_EQ(sender.run(), TransferStatus::done);
}

void LinkApplicationTest::settle() {
    if (app->peerProcess() >= 0) {
        EXPECT_FALSE(app->waitToRead());
        EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
    }
    app->record().command = LinkCommand::idle;
}
