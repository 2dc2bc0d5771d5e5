#include "link/domecast_link.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "link/link_record.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "link/view_marker.h"
#include "platform/settings.h"

struct DomecastLink {
    std::unique_ptr<PaintLink> link;
    LinkPicture view;
    int patienceMs = 0;
};

namespace {

const char* const outOfMemory = "Domecast: not enough memory for the link.";
const char* const noLink = "Domecast: no place was given for the link.";

DomecastResult resultOf(TransferStatus status) {
    switch (status) {
        case TransferStatus::done: return DOMECAST_DONE;
        case TransferStatus::peerGone: return DOMECAST_APP_GONE;
        default: return DOMECAST_CANCELLED;
    }
}

// A picture the sender can read every byte of.
bool pictureIsUsable(const DomecastPicture& p) {
    if (p.pixels == nullptr || (p.bytes_per_pixel != 3 && p.bytes_per_pixel != 4)) return false;
    if (!linkImageSizeIsSane(p.width, p.height)) return false;
    return p.stride >= static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.bytes_per_pixel);
}

PictureLayout layoutOf(const DomecastPicture& p) {
    return PictureLayout{p.width, p.height, p.bytes_per_pixel, p.stride, ChannelOrder::rgb};
}

// Runs a TileSender or TileReceiver to its end, or until no tile has gone across for
// patienceMs; timedOut tells the two apart.
template <class Transfer>
TransferStatus runPatiently(PaintLink& link, Transfer& transfer, int patienceMs, bool& timedOut) {
    timedOut = false;
    if (patienceMs <= 0) return transfer.run();
    using Clock = std::chrono::steady_clock;
    const auto patience = std::chrono::milliseconds(patienceMs);
    auto deadline = Clock::now() + patience;
    for (;;) {
        const TransferStatus status = transfer.step();
        if (status == TransferStatus::progressed) {
            deadline = Clock::now() + patience;
            continue;
        }
        if (status != TransferStatus::waiting) return status;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            link.cancel();
            timedOut = true;
            return TransferStatus::cancelled;
        }
        // Without a process descriptor for the peer its end is only seen by the next step.
        pollfd fds[2] = {{link.bellDescriptor(), POLLIN, 0}, {link.peerDescriptor(), POLLIN, 0}};
        const int timeout = static_cast<int>(std::min<long long>(left, fds[1].fd < 0 ? 100 : left));
        ::poll(fds, fds[1].fd < 0 ? 1 : 2, timeout);
    }
}

}  // namespace

extern "C" {

const char* domecast_link_open(DomecastLink** link, uint32_t peer_process_id) {
    if (link == nullptr) return noLink;
    *link = nullptr;
    try {
        auto made = std::make_unique<DomecastLink>();
        if (const char* message = PaintLink::openAsPlugin(made->link, peer_process_id)) return message;
        *link = made.release();
        return nullptr;
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    }
}

void domecast_link_view_angles(const DomecastLink* link, float* heading, float* pitch) {
    float h = 0, p = 0;
    if (link != nullptr && link->link) {
        h = link->link->record().heading;
        p = link->link->record().pitch;
    }
    if (heading != nullptr) *heading = h;
    if (pitch != nullptr) *pitch = p;
}

void domecast_request_init(DomecastRequest* request) {
    if (request == nullptr) return;
    std::memset(request, 0, sizeof *request);
    request->command = DOMECAST_COMMAND_APPLY_AND_SHOW;
    request->mask_mode = DOMECAST_MASK_FROM_MARKER;
}

DomecastResult domecast_link_send(DomecastLink* link, const DomecastRequest* request) {
    if (link == nullptr || !link->link || request == nullptr) return DOMECAST_BAD_REQUEST;
    const DomecastPicture* picture = request->picture;
    if (picture != nullptr && !pictureIsUsable(*picture)) return DOMECAST_BAD_REQUEST;
    if (request->mask_mode < DOMECAST_MASK_FROM_MARKER || request->mask_mode > DOMECAST_MASK_CORNERS)
        return DOMECAST_BAD_REQUEST;
    try {
        PluginCommand command;
        command.command = request->command;
        command.heading = request->heading;
        command.pitch = request->pitch;
        command.stepX = request->step_x;
        command.stepY = request->step_y;
        command.newFaceSize = request->new_face_size;
        if (request->template_path != nullptr) command.templatePath = request->template_path;
        command.width = picture != nullptr ? picture->width : request->width;
        command.height = picture != nullptr ? picture->height : request->height;
        command.maskMode = request->mask_mode != DOMECAST_MASK_FROM_MARKER
                               ? request->mask_mode
                               : maskModeFor(request->command, picture != nullptr,
                                             picture != nullptr ? picture->pixels : nullptr,
                                             picture != nullptr ? layoutOf(*picture) : PictureLayout{},
                                             request->heading, request->pitch);
        TileSource source;
        if (picture != nullptr) source = pictureSource(picture->pixels, picture->stride, picture->bytes_per_pixel);
        TileSender sender(*link->link, std::move(command), std::move(source));
        bool timedOut;
        const TransferStatus status = runPatiently(*link->link, sender, link->patienceMs, timedOut);
        return timedOut ? DOMECAST_TIMED_OUT : resultOf(status);
    } catch (const std::bad_alloc&) {
        return DOMECAST_NO_MEMORY;
    }
}

DomecastResult domecast_link_receive(DomecastLink* link, DomecastView* view) {
    if (link == nullptr || !link->link || view == nullptr) return DOMECAST_BAD_REQUEST;
    std::memset(view, 0, sizeof *view);
    try {
        TileReceiver receiver(*link->link);
        bool timedOut;
        const TransferStatus status = runPatiently(*link->link, receiver, link->patienceMs, timedOut);
        if (timedOut) return DOMECAST_TIMED_OUT;
        if (status != TransferStatus::done) return resultOf(status);
        link->view = receiver.picture();
        const LinkPicture& v = link->view;
        stampViewMarker(link->view.rgb.data(),
                        PictureLayout{v.width, v.height, 3, static_cast<std::size_t>(v.width) * 3, ChannelOrder::rgb},
                        viewMarker(receiver.heading(), receiver.pitch()));
        view->width = v.width;
        view->height = v.height;
        view->heading = receiver.heading();
        view->pitch = receiver.pitch();
        view->rgb = v.rgb.data();
        return DOMECAST_DONE;
    } catch (const std::bad_alloc&) {
        return DOMECAST_NO_MEMORY;
    }
}

void domecast_link_set_patience(DomecastLink* link, int32_t milliseconds) {
    if (link != nullptr) link->patienceMs = milliseconds > 0 ? milliseconds : 0;
}

void domecast_link_cancel(DomecastLink* link) {
    if (link != nullptr && link->link) link->link->cancel();
}

void domecast_link_close(DomecastLink* link) {
    if (link == nullptr) return;
    if (link->link) link->link->close();
    delete link;
}

uint32_t domecast_view_marker(float heading, float pitch) { return viewMarker(heading, pitch); }

int domecast_has_view_marker(const DomecastPicture* picture, float heading, float pitch) {
    if (picture == nullptr || !pictureIsUsable(*picture)) return 0;
    return cornerCarriesViewMarker(picture->pixels, layoutOf(*picture), viewMarker(heading, pitch)) ? 1 : 0;
}

void domecast_stamp_view_marker(uint8_t* pixels, int32_t width, int32_t height, int32_t bytes_per_pixel,
                                size_t stride, float heading, float pitch) {
    const DomecastPicture picture{pixels, width, height, bytes_per_pixel, stride};
    if (!pictureIsUsable(picture)) return;
    stampViewMarker(pixels, layoutOf(picture), viewMarker(heading, pitch));
}

int domecast_read_setting(const char* name, char* value, size_t size) {
    if (name == nullptr || value == nullptr || size == 0) return -1;
    value[0] = 0;
    try {
        std::string text;
        if (!readStringSetting(name, text, 0, 1)) return 0;
        if (text.size() >= size) return -1;
        std::memcpy(value, text.c_str(), text.size() + 1);
        return 1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // extern "C"
