#include "shell/window_sizing.h"

namespace {
// The factor that brings value into [low, high].
double limitFactor(int value, int low, int high) {
    if (value <= 0) return 1.0;
    if (value < low) return static_cast<double>(low) / value;
    if (value > high) return static_cast<double>(high) / value;
    return 1.0;
}
}  // namespace

Size clientSizeForView(Size view, const WindowLimits& limits, bool keepAspect) {
    const int minW = limits.minClient.width - limits.margins.width;
    const int maxW = limits.maxClient.width - limits.margins.width;
    const int minH = limits.minClient.height - limits.margins.height;
    const int maxH = limits.maxClient.height - limits.margins.height;
    double fx = limitFactor(view.width, minW, maxW);
    double fy = limitFactor(view.height, minH, maxH);
    if (keepAspect && view.width > 0 && view.height > 0 && maxH > 0 && minH > 0) {
        const double aspect = static_cast<double>(view.width) / view.height;
        if (aspect >= static_cast<double>(minW) / maxH && aspect <= static_cast<double>(maxW) / minH) {
            const double f = (fx < 1.0 || fy < 1.0) ? (fx < fy ? fx : fy) : (fx > fy ? fx : fy);
            fx = fy = f;
        }
    }
    // An empty view (a panorama without faces has no nominal size) gets the smallest area.
    const int w = view.width > 0 ? static_cast<int>(view.width * fx) : minW;
    const int h = view.height > 0 ? static_cast<int>(view.height * fy) : minH;
    return {w + limits.margins.width, h + limits.margins.height};
}

Size viewSizeForClient(Size clientSize, const WindowLimits& limits) {
    return {clientSize.width - limits.margins.width, clientSize.height - limits.margins.height};
}
