#include "platform/pixel_format.h"

#include <bit>
#include <cstdlib>

namespace {

constexpr std::uint32_t capabilityFlags = drawToWindow | drawToBitmap | supportGDI | supportOpenGL;

// Red, green, blue and alpha: a shortfall costs 2, an exact match earns 1, more is free.
int channelScore(std::uint8_t requested, std::uint8_t offered) {
    if (offered < requested) return -2;
    return offered == requested ? 1 : 0;
}

// Equal earns the bonus, otherwise the difference divided by the divisor is lost.
int sizeScore(std::uint8_t requested, std::uint8_t offered, int bonus, int divisor) {
    if (offered == requested) return bonus;
    return -std::abs(int{offered} - int{requested}) / divisor;
}

}  // namespace

int scorePixelFormat(const PixelFormatDescriptor& request, const PixelFormatDescriptor& candidate) {
    if ((request.flags & capabilityFlags & ~candidate.flags) != 0) return 0;

    int score = 113;
    score -= 30 * std::popcount(request.flags ^ candidate.flags);
    if (request.pixelType != candidate.pixelType) score -= 100;
    if (request.layerMask != 0 && request.layerMask != candidate.layerMask) score -= 100;

    if (candidate.colorBits == request.colorBits)
        score += 30;
    else if (candidate.colorBits > request.colorBits)
        score -= (candidate.colorBits - request.colorBits) / 8;
    else
        score -= request.colorBits - candidate.colorBits;

    if (request.redBits != 0) score += channelScore(request.redBits, candidate.redBits);
    if (request.greenBits != 0) score += channelScore(request.greenBits, candidate.greenBits);
    if (request.blueBits != 0) score += channelScore(request.blueBits, candidate.blueBits);
    if (request.alphaBits != 0) score += channelScore(request.alphaBits, candidate.alphaBits);

    score += sizeScore(request.accumBits, candidate.accumBits, 4, 8);
    score += channelScore(request.accumRedBits, candidate.accumRedBits);
    score += channelScore(request.accumGreenBits, candidate.accumGreenBits);
    score += channelScore(request.accumBlueBits, candidate.accumBlueBits);
    score += channelScore(request.accumAlphaBits, candidate.accumAlphaBits);

    score += sizeScore(request.depthBits, candidate.depthBits, 2, 8);
    score += sizeScore(request.stencilBits, candidate.stencilBits, 1, 4);
    if (candidate.auxBuffers == request.auxBuffers) score += 1;
    return score;
}

int pickPixelFormat(std::span<const PixelFormatDescriptor> candidates, const PixelFormatDescriptor& request) {
    int best = 0, bestScore = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const int score = scorePixelFormat(request, candidates[i]);
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(i) + 1;
        }
    }
    return best;
}
