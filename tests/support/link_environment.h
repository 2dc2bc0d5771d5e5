#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include "link/link_record.h"
#include "link/tile_transfer.h"
#include "platform/unique_fd.h"

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

// A recognisable pixel of a picture: red, green, blue of column x, row y (top row 0).
std::uint8_t patternByte(int x, int y, int channel);
// A tile source of the pattern, for TileSender.
TileSource patternSource();
// Whether pixels hold the pattern for tile.
bool tileHoldsPattern(const std::uint8_t* pixels, const TileRect& tile);
