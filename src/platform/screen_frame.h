#pragma once
#include <memory>

#include "platform/image_types.h"

// A picture for one X window in memory shared with the X server (MIT-SHM): what is
// rendered into its rows reaches the window with one copy in the server, where the
// window's OpenGL would upload, draw and swap. Four bytes a pixel (blue, green, red,
// padding), as a 24-bit true-colour visual in 32-bit pixels holds them. Xlib handles are
// passed as void* and unsigned long so that callers need no Xlib headers.
class ScreenFrame {
public:
    // A frame of size for window on display; null when the server offers no shared
    // memory, the window's visual holds pixels another way, or the memory cannot be
    // attached (a server on another machine).
    static std::unique_ptr<ScreenFrame> create(void* display, unsigned long window, Size size);
    ~ScreenFrame();
    ScreenFrame(const ScreenFrame&) = delete;
    ScreenFrame& operator=(const ScreenFrame&) = delete;

    Size size() const { return size_; }
    // The frame's pixels, rows counted from the bottom.
    PixelRows rows() const;
    // Copies the frame into the window with its top-left corner at (x, top), counted from
    // the window's top-left, and waits until the server has taken the pixels, so that the
    // next frame may be rendered into the same memory. False when the server refused.
    bool show(int x, int top);
    // What the window shows in the frame's size at (x, top) now, into rows of the
    // frame's size (3 or 4 bytes a pixel); false when the server could not say.
    bool readBack(int x, int top, const PixelRows& into) const;

private:
    struct Resources;
    explicit ScreenFrame(std::unique_ptr<Resources> resources, Size size);

    std::unique_ptr<Resources> resources_;
    Size size_;
};
