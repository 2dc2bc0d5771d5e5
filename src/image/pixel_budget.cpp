#include "image/pixel_budget.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/memory_status.h"
#include "platform/settings.h"

namespace {
constexpr std::uint64_t million = 1000000;

std::optional<std::uint32_t>& overrideLimit() {
    static std::optional<std::uint32_t> limit;
    return limit;
}

std::uint64_t pixelsOf(Size size) {
    if (size.width <= 0 || size.height <= 0) return 0;
    return static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height);
}

// "805 MB", "3.2 GB": decimal units, as the megapixels are.
std::string bytesText(std::uint64_t bytes) {
    char text[48];
    if (bytes >= 1000 * million)
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (1000.0 * million));
    else
        std::snprintf(text, sizeof text, "%.0f MB", static_cast<double>(bytes) / million);
    return text;
}

std::string megapixelsText(std::uint64_t pixels) {
    char text[32];
    std::snprintf(text, sizeof text, pixels < 10 * million ? "%.1f" : "%.0f", static_cast<double>(pixels) / million);
    return text;
}
}  // namespace

std::uint64_t workingBytes(std::uint64_t pixels) { return pixels * 3 * 2; }

std::uint32_t maxImageMegapixels() {
    if (overrideLimit()) return *overrideLimit();
    std::uint32_t value = 0;
    if (readNumberSetting("MaxImageMegapixels", value, false, true) && value > 0) return value;
    return defaultMaxImageMegapixels;
}

std::optional<std::uint32_t> setMaxImageMegapixels(std::optional<std::uint32_t> megapixels) {
    return std::exchange(overrideLimit(), megapixels);
}

bool withinMegapixelLimit(std::uint64_t pixels) {
    return pixels <= static_cast<std::uint64_t>(maxImageMegapixels()) * million;
}

bool withinPixelBudget(std::uint64_t pixels) {
    if (!withinMegapixelLimit(pixels)) return false;
    // An unreadable /proc/meminfo gives 0: then only the limit applies.
    const std::uint64_t available = memoryStatus().availablePhysical;
    return available == 0 || workingBytes(pixels) <= available;
}

bool memoryHoldsBeside(std::uint64_t pixels, std::uint64_t moreBytes) {
    const std::uint64_t available = memoryStatus().availablePhysical;
    return available == 0 || workingBytes(pixels) + moreBytes <= available;
}

bool withinPixelBudget(Size size) { return size.width <= widestPicture && withinPixelBudget(pixelsOf(size)); }

namespace {
std::string needsText(std::uint64_t pixels) {
    return megapixelsText(pixels) + " megapixels, needing " + bytesText(workingBytes(pixels)) + " of memory";
}

std::string budgetLimitText() {
    const std::uint64_t available = memoryStatus().availablePhysical;
    const std::string text =
        "the limit is " + std::to_string(maxImageMegapixels()) + " megapixels (\"MaxImageMegapixels\")";
    return text + (available != 0 ? " and " + bytesText(available) + " of memory is available." : ".");
}
}  // namespace

std::string pixelBudgetText(std::uint64_t pixels) { return needsText(pixels) + "; " + budgetLimitText(); }

ioException pictureSizeRefusal(const char* path, std::int32_t kind, Size size, const std::string& limit) {
    const std::string name = path != nullptr ? path : "";
    const std::string message = "The picture " + name + " is too large: " + std::to_string(size.width) + " x " +
                                std::to_string(size.height) + " pixels, " + needsText(pixelsOf(size)) + "; " + limit;
    return ioException{name, kind, "picture too large", message};
}

ioException pixelBudgetRefusal(const char* path, std::int32_t kind, Size size) {
    return pictureSizeRefusal(path, kind, size,
                              size.width > widestPicture
                                  ? "rows are at most " + std::to_string(widestPicture) + " pixels wide."
                                  : budgetLimitText());
}

void checkPixelBudget(const char* path, std::int32_t kind, Size size) {
    if (!withinPixelBudget(size)) throw pixelBudgetRefusal(path, kind, size);
}
