#pragma once
#include <cstdint>

class BGRAImage;
class BGRImage;

enum ButtonState : int { buttonNormal = 0, buttonHovered = 1, buttonPressed = 2 };

// Composes the picture a push button shows in a state: the face (B, G, R, A) over the
// window pixels under it (R, G, B, rows underStride bytes apart, at least as large as the
// face) into shown (B, G, R, the face's size). Integer blends with shifts by 8.
void composeButton(const BGRAImage& face, const std::uint8_t* under, std::uint32_t underStride,
                   int state, int invertHover, BGRImage& shown);
