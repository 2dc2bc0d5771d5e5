#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image/image_io.h"

// Deterministic hostile variants of a valid file: single and multiple byte flips
// (header bytes more often), random byte values, and truncations at every length up to
// a limit. `count` variants; the same seed gives the same variants.
std::vector<std::vector<std::uint8_t>> mutatedVariants(const std::vector<std::uint8_t>& original, int count,
                                                       std::uint32_t seed);

// What a reader made of one file: either the size it asked the sink for, or the
// exception it threw.
struct ReadOutcome {
    bool loaded = false;
    bool threwIoException = false;
    bool sinkRefused = false;  // the size asked for exceeded the test's limit
    Size size;
};

// Runs a reader on a file with a sink that allocates a RawImage-like buffer, refusing
// (by throwing) sizes of more than maxPixels so hostile headers cannot exhaust memory.
ReadOutcome readWithLimit(ImageReader reader, const std::string& path, std::int64_t maxPixels);

// Loads every file with this extension ("bmp") in tests/data/crashers, where each file's
// name tells its one defect, and expects each refused as a read failure whose reason is
// the one reasons gives for its name, with no message shown. A fixture missing from
// reasons, or a name in reasons with no fixture, fails too.
void expectCrashersRefused(const std::string& extension, ImageReader reader,
                           const std::map<std::string, const char*>& reasons);
