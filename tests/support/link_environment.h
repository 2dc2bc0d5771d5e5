#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/link_record.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "platform/unique_fd.h"
#include "support/temp_dir.h"

// Every test gets a link of its own name (children inherit it), no trace switch, no
// diagnostic viewer, and an alarm that ends a hung test instead of letting it wait. Door
// bells that processes of the test left behind (killed, or ended with _exit) are removed
// at its end.
class LinkEnvironment {
public:
    LinkEnvironment();
    ~LinkEnvironment();
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// A pipe through which one process tells another that it has reached a point: a child
// that its link is open, the parent that the child may go on. Shared across a fork.
class Beacon {
public:
    Beacon();
    bool send() const;
    // Waits (under the test's alarm) for one send.
    bool await() const;
    // Readable once sent, for waits that take a descriptor.
    int descriptor() const { return read_.get(); }

private:
    UniqueFd read_, write_;
};

// Runs body in a forked child with its own alarm; the child exits with body's result.
pid_t runChild(const std::function<int()>& body);
// Exit code of the child, or 128 + the signal that ended it.
int exitCodeOf(pid_t child);

// One run of a program in a forked child, its standard output and error caught in files.
class ProgramRun {
public:
    ProgramRun(const std::string& program, std::vector<std::string> arguments);
    // Waits for the program to end.
    int exitCode();
    // Whether the program has ended, without waiting.
    bool ended();
    std::string out();
    std::string err();

private:
    TempDir folder_;
    pid_t pid_ = -1;
    int exit_ = -1;
};

// A recognisable pixel of a picture: red, green, blue of column x, row y (top row 0).
std::uint8_t patternByte(int x, int y, int channel);
// The whole pattern, red, green, blue, top row first, its four corners set to corner
// (red, green, blue) unless that is null.
std::vector<std::uint8_t> patternWithCorners(int width, int height, const std::uint8_t* corner);
// FNV-1a of bytes, as domecast-peer sums up a view.
std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes);
// A tile source of the pattern, for TileSender.
TileSource patternSource();
// Whether pixels hold the pattern for tile.
bool tileHoldsPattern(const std::uint8_t* pixels, const TileRect& tile);

// The application's end of a link of the test's own, for tests whose plug-in is another
// process.
class LinkApplicationTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Streams the pattern as the application's main loop does, once a peer is there.
    void streamView(int width, int height, float heading, float pitch);
    // The ended peer, noticed by the next wait, returns the link to idle for the next case.
    void settle();

    LinkEnvironment environment;
    std::unique_ptr<PaintLink> app;
};
