#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/image_types.h"
#include "platform/io_exception.h"

// How many pixels a picture may have before anything is allocated for it: at most
// "MaxImageMegapixels" million (default 300; a command line may set its own figure), and
// never more than the memory available holds with the program's working copies counted.

constexpr std::uint32_t defaultMaxImageMegapixels = 300;

// Bytes a picture of this many pixels costs while the program works on it: the picture
// itself (3 bytes a pixel) and the faces or views made from it, about as large again.
std::uint64_t workingBytes(std::uint64_t pixels);

// The megapixel limit in force: the override when one is set, else the setting
// "MaxImageMegapixels" (0 or missing: the default).
std::uint32_t maxImageMegapixels();
// A limit that replaces the setting for this process (domecast-cli --max-megapixels);
// empty restores the setting. Returns the previous override.
std::optional<std::uint32_t> setMaxImageMegapixels(std::optional<std::uint32_t> megapixels);

// True when this many pixels are within the megapixel limit alone.
bool withinMegapixelLimit(std::uint64_t pixels);

// The widest picture held: its rows, 3 bytes a pixel rounded up to 4, have 32-bit lengths.
constexpr std::int32_t widestPicture = 1431655764;

// True when a picture of this many pixels is within both the limit and the memory
// available (and, given as a size, no wider than widestPicture). Keeps nothing once it
// returns (the setting and /proc/meminfo are read and let go), so the decoders may call
// it between their library calls.
bool withinPixelBudget(std::uint64_t pixels);
bool withinPixelBudget(Size size);

// True when the memory available holds this many bytes more than a picture of that many
// pixels needs (workingBytes), or cannot be told.
bool memoryHoldsBeside(std::uint64_t pixels, std::uint64_t moreBytes);

// The error for a picture over the budget: reason "picture too large", and a message
// giving the picture's size, the memory it needs, the limit and the memory available (or,
// for a picture wider than widestPicture, that width).
ioException pixelBudgetRefusal(const char* path, std::int32_t kind, Size size);

// The same error for a picture over a limit of its format or of its reader; limit ends
// the message ("JPEG pictures are at most 65500 pixels wide and high.").
ioException pictureSizeRefusal(const char* path, std::int32_t kind, Size size, const std::string& limit);

// "300 megapixels, needing 1.8 GB of memory; the limit is ... and 20.1 GB of memory is
// available.": the tail of every refusal, for callers that name the picture themselves.
std::string pixelBudgetText(std::uint64_t pixels);

// Throws pixelBudgetRefusal when the picture is over the budget.
void checkPixelBudget(const char* path, std::int32_t kind, Size size);
