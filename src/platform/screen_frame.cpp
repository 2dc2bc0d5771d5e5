#include "platform/screen_frame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>

namespace {
bool xErrorSeen = false;

int noteXError(Display*, XErrorEvent*) {
    xErrorSeen = true;
    return 0;
}

// Runs request with the server's errors noted instead of reported: the toolkit's own
// handler ends the program on an error it did not expect, and a server on another
// machine refuses shared memory with one. True when the server took the request.
template <class Request>
bool withoutXErrors(Display* display, Request&& request) {
    XSync(display, False);
    xErrorSeen = false;
    const XErrorHandler previous = XSetErrorHandler(noteXError);
    const bool sent = request();
    XSync(display, False);
    XSetErrorHandler(previous);
    return sent && !xErrorSeen;
}

// Blue in the low byte of 32-bit pixels stored least significant byte first: the order
// the renderer writes.
bool holdsBlueGreenRedPadding(const XImage& image) {
    return image.bits_per_pixel == 32 && image.byte_order == LSBFirst && image.red_mask == 0xff0000 &&
           image.green_mask == 0xff00 && image.blue_mask == 0xff;
}
}  // namespace

struct ScreenFrame::Resources {
    Display* display = nullptr;
    Window window = 0;
    XShmSegmentInfo segment{};
    bool segmentMade = false;
    bool segmentRemoved = false;
    bool attached = false;
    XImage* image = nullptr;
    GC gc = nullptr;

    Resources() { segment.shmaddr = reinterpret_cast<char*>(-1); }
    ~Resources() {
        if (attached) {
            XShmDetach(display, &segment);
            XSync(display, False);
        }
        if (image != nullptr) {
            // The pixels are the shared segment, not Xlib's to free.
            image->data = nullptr;
            XDestroyImage(image);
        }
        if (segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
        removeSegment();
        if (gc != nullptr) XFreeGC(display, gc);
    }
    // The segment goes once the last process detaches it, a crashed one included.
    void removeSegment() {
        if (segmentMade && !segmentRemoved) shmctl(segment.shmid, IPC_RMID, nullptr);
        segmentRemoved = true;
    }
};

ScreenFrame::ScreenFrame(std::unique_ptr<Resources> resources, Size size)
    : resources_(std::move(resources)), size_(size) {}

ScreenFrame::~ScreenFrame() = default;

std::unique_ptr<ScreenFrame> ScreenFrame::create(void* displayHandle, unsigned long window, Size size) {
    auto* display = static_cast<Display*>(displayHandle);
    if (display == nullptr || window == 0 || size.width <= 0 || size.height <= 0) return nullptr;
    if (XShmQueryExtension(display) == False) return nullptr;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.visual == nullptr ||
        attributes.visual->c_class != TrueColor)
        return nullptr;

    auto r = std::make_unique<Resources>();
    r->display = display;
    r->window = window;
    r->image = XShmCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap,
                               nullptr, &r->segment, static_cast<unsigned>(size.width),
                               static_cast<unsigned>(size.height));
    if (r->image == nullptr || !holdsBlueGreenRedPadding(*r->image) || r->image->bytes_per_line < 4 * size.width)
        return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(r->image->bytes_per_line) * static_cast<std::size_t>(size.height);
    r->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (r->segment.shmid < 0) return nullptr;
    r->segmentMade = true;
    r->segment.shmaddr = static_cast<char*>(shmat(r->segment.shmid, nullptr, 0));
    if (r->segment.shmaddr == reinterpret_cast<char*>(-1)) return nullptr;
    r->image->data = r->segment.shmaddr;
    r->segment.readOnly = True;
    if (!withoutXErrors(display, [&] { return XShmAttach(display, &r->segment) != False; })) {
        // A failed attach leaves nothing to detach in the server.
        return nullptr;
    }
    r->attached = true;
    r->removeSegment();
    r->gc = XCreateGC(display, window, 0, nullptr);
    if (r->gc == nullptr) return nullptr;
    std::memset(r->segment.shmaddr, 255, bytes);
    return std::unique_ptr<ScreenFrame>(new ScreenFrame(std::move(r), size));
}

PixelRows ScreenFrame::rows() const {
    const XImage& image = *resources_->image;
    return topDownRows(reinterpret_cast<std::uint8_t*>(image.data), static_cast<std::size_t>(image.bytes_per_line),
                       size_, 4);
}

bool ScreenFrame::show(int x, int top) {
    Resources& r = *resources_;
    return withoutXErrors(r.display, [&] {
        return XShmPutImage(r.display, r.window, r.gc, r.image, 0, 0, x, top, static_cast<unsigned>(size_.width),
                            static_cast<unsigned>(size_.height), False) != False;
    });
}

bool ScreenFrame::readBack(int x, int top, const PixelRows& into) const {
    const Resources& r = *resources_;
    if (into.bottom == nullptr || into.size() != size_ || into.bytesPerPixel < 3) return false;
    XImage* shot = nullptr;
    const bool read = withoutXErrors(r.display, [&] {
        shot = XGetImage(r.display, r.window, x, top, static_cast<unsigned>(size_.width),
                         static_cast<unsigned>(size_.height), AllPlanes, ZPixmap);
        return shot != nullptr;
    });
    if (shot == nullptr) return false;
    const bool usable = read && holdsBlueGreenRedPadding(*shot) && shot->width == size_.width &&
                        shot->height == size_.height && shot->bytes_per_line >= 4 * size_.width;
    if (usable)
        for (int line = 0; line < size_.height; ++line) {
            const auto* from = reinterpret_cast<const std::uint8_t*>(shot->data) +
                               static_cast<std::size_t>(line) * static_cast<std::size_t>(shot->bytes_per_line);
            std::uint8_t* to = into.row(size_.height - 1 - line);
            for (int column = 0; column < size_.width; ++column)
                std::memcpy(to + static_cast<std::size_t>(column) * into.bytesPerPixel, from + 4 * column, 3);
        }
    XDestroyImage(shot);
    return usable;
}
