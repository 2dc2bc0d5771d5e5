/* A paint-program plug-in written in C against the link's C interface, for the tests.
 *
 *   c_plugin [--parent] send COMMAND WIDTH HEIGHT HEADING PITCH [marked]
 *       sends the test pattern (RGBA rows with padding; "marked": its corners carry the
 *       view marker), the mask chosen from the marker; after command 21 receives the view.
 *   c_plugin [--parent] bare COMMAND WIDTH HEIGHT NEW_FACE_SIZE TEMPLATE
 *   c_plugin [--parent] receive
 *   c_plugin [--patience MS] receive
 *   c_plugin angles
 *   c_plugin cancel
 *   c_plugin setting NAME
 *
 * --parent records the parent process as the peer, as a GIMP plug-in does. A received
 * view is summed up as domecast-peer does. Exit status: 0 done, 1 cancelled, 2 Domecast
 * ended, 3 bad request, 4 no memory, 5 not connected, 6 bad usage, 7 timed out. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "link/domecast_link.h"

static uint64_t fnv1a(const uint8_t* bytes, size_t size) {
    uint64_t hash = 0xcbf29ce484222325ull;
    size_t i;
    for (i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

static int receive_view(DomecastLink* link) {
    DomecastView view;
    const DomecastResult result = domecast_link_receive(link, &view);
    if (result != DOMECAST_DONE) return (int)result;
    printf("view %d x %d heading %.9g pitch %.9g marker 0x%06x fnv1a 0x%016llx\n", (int)view.width,
           (int)view.height, (double)view.heading, (double)view.pitch,
           (unsigned)domecast_view_marker(view.heading, view.pitch),
           (unsigned long long)fnv1a(view.rgb, (size_t)view.width * (size_t)view.height * 3));
    return 0;
}

static int send_pattern(DomecastLink* link, int argc, char** argv) {
    DomecastRequest request;
    DomecastPicture picture;
    uint8_t* pixels;
    int x, y, result;
    if (argc < 5) return 6;
    domecast_request_init(&request);
    request.command = atoi(argv[0]);
    picture.width = atoi(argv[1]);
    picture.height = atoi(argv[2]);
    request.heading = (float)atof(argv[3]);
    request.pitch = (float)atof(argv[4]);
    picture.bytes_per_pixel = 4;
    picture.stride = (size_t)picture.width * 4 + 3;
    pixels = malloc(picture.stride * (size_t)picture.height + 1);
    if (pixels == NULL) return 4;
    for (y = 0; y < picture.height; ++y)
        for (x = 0; x < picture.width; ++x) {
            uint8_t* p = pixels + (size_t)y * picture.stride + (size_t)x * 4;
            p[0] = (uint8_t)(x * 7 + y);
            p[1] = (uint8_t)(x + y * 3);
            p[2] = (uint8_t)((x ^ y) + 11);
            p[3] = 0xFF;
        }
    if (argc > 5 && strcmp(argv[5], "marked") == 0)
        domecast_stamp_view_marker(pixels, picture.width, picture.height, 4, picture.stride, request.heading,
                                   request.pitch);
    picture.pixels = pixels;
    request.picture = &picture;
    result = (int)domecast_link_send(link, &request);
    free(pixels);
    if (result == 0 && request.command == DOMECAST_COMMAND_ROTATE) return receive_view(link);
    return result;
}

static int send_bare(DomecastLink* link, int argc, char** argv) {
    DomecastRequest request;
    if (argc < 5) return 6;
    domecast_request_init(&request);
    request.command = atoi(argv[0]);
    request.width = atoi(argv[1]);
    request.height = atoi(argv[2]);
    request.new_face_size = atoi(argv[3]);
    request.template_path = argv[4];
    return (int)domecast_link_send(link, &request);
}

int main(int argc, char** argv) {
    DomecastLink* link = NULL;
    const char* message;
    uint32_t peer = 0;
    int32_t patience = 0;
    int result;
    ++argv, --argc;
    if (argc > 1 && strcmp(argv[0], "--patience") == 0) {
        patience = atoi(argv[1]);
        argv += 2, argc -= 2;
    }
    if (argc > 0 && strcmp(argv[0], "--parent") == 0) {
        peer = (uint32_t)getppid();
        ++argv, --argc;
    }
    if (argc < 1) return 6;
    if (strcmp(argv[0], "setting") == 0) {
        char value[300];
        if (argc < 2) return 6;
        switch (domecast_read_setting(argv[1], value, sizeof value)) {
            case 1: printf("%s\n", value); return 0;
            case 0: printf("missing\n"); return 0;
            default: printf("too long\n"); return 0;
        }
    }
    message = domecast_link_open(&link, peer);
    if (message != NULL) {
        fprintf(stderr, "%s\n", message);
        return link == NULL ? 5 : 6;
    }
    domecast_link_set_patience(link, patience);
    if (strcmp(argv[0], "send") == 0) result = send_pattern(link, argc - 1, argv + 1);
    else if (strcmp(argv[0], "bare") == 0) result = send_bare(link, argc - 1, argv + 1);
    else if (strcmp(argv[0], "receive") == 0) result = receive_view(link);
    else if (strcmp(argv[0], "angles") == 0) {
        float heading, pitch;
        domecast_link_view_angles(link, &heading, &pitch);
        printf("heading %.9g pitch %.9g\n", (double)heading, (double)pitch);
        result = 0;
    } else if (strcmp(argv[0], "cancel") == 0) {
        domecast_link_cancel(link);
        result = 0;
    } else result = 6;
    domecast_link_close(link);
    return result == DOMECAST_TIMED_OUT ? 7 : result;
}
