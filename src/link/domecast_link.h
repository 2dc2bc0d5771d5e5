/* The plug-in end of the link with a running Domecast, for paint-program plug-ins
 * written in C. Compiles as C99 and as C++; a plug-in links it statically together with
 * the link and platform libraries (and the C++ runtime they use).
 *
 * Every function may be called from one thread of the plug-in only. None of them throws,
 * and none keeps a pointer it was given beyond the call. */
#ifndef DOMECAST_LINK_H
#define DOMECAST_LINK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One open plug-in end of the link. */
typedef struct DomecastLink DomecastLink;

/* Codes of the record's command field, as a plug-in sends them. */
enum {
    DOMECAST_COMMAND_NEW_FROM_DIALOG = 15,   /* new panorama through the New Panorama dialog */
    DOMECAST_COMMAND_NEW_FROM_TEMPLATE = 16, /* new panorama from template_path */
    DOMECAST_COMMAND_NEW_EMPTY = 17,         /* six white faces of new_face_size */
    DOMECAST_COMMAND_APPLY = 18,             /* apply the picture only */
    DOMECAST_COMMAND_APPLY_AND_SHOW = 20,    /* apply, then show Domecast */
    DOMECAST_COMMAND_ROTATE = 21             /* apply, turn by (step_x, step_y), send the new view */
};

/* Values of the record's maskMode field, and the choice made from the view marker. */
enum {
    DOMECAST_MASK_FROM_MARKER = -1, /* 1 for commands 16 and 17 with a picture, 2 when a corner
                                       carries the marker of heading and pitch, else 0 */
    DOMECAST_MASK_NONE = 0,
    DOMECAST_MASK_FIRST_ROW = 1,
    DOMECAST_MASK_CORNERS = 2
};

/* How a send or receive ended. */
typedef enum DomecastResult {
    DOMECAST_DONE = 0,
    DOMECAST_CANCELLED = 1,   /* Domecast cancelled, or refused what was sent */
    DOMECAST_APP_GONE = 2,    /* Domecast ended during the transfer */
    DOMECAST_BAD_REQUEST = 3, /* an argument was unusable; nothing was sent */
    DOMECAST_NO_MEMORY = 4,
    DOMECAST_TIMED_OUT = 5    /* no tile went across within the patience; the transfer was
                                 cancelled */
} DomecastResult;

/* A picture in memory: height rows of stride bytes, top row first; bytes_per_pixel 3 (red,
 * green, blue) or 4 (red, green, blue and a fourth byte that is not sent). */
typedef struct DomecastPicture {
    const uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t bytes_per_pixel;
    size_t stride;
} DomecastPicture;

/* What a send carries: the record's header fields and the picture. */
typedef struct DomecastRequest {
    int32_t command;           /* DOMECAST_COMMAND_... */
    int32_t mask_mode;         /* DOMECAST_MASK_... */
    float heading;             /* the view the picture shows, radians */
    float pitch;
    float step_x;              /* rotation steps of DOMECAST_COMMAND_ROTATE */
    float step_y;
    int32_t new_face_size;     /* DOMECAST_COMMAND_NEW_EMPTY */
    const char* template_path; /* DOMECAST_COMMAND_NEW_FROM_TEMPLATE; NULL: none */
    const DomecastPicture* picture; /* NULL: a bare command */
    int32_t width;             /* the size a bare command announces */
    int32_t height;
} DomecastRequest;

/* A view received from Domecast: red, green, blue, top row first, rows unpadded, its four
 * corners carrying the view marker of heading and pitch. rgb belongs to the link and stays
 * valid until the next receive or the close. */
typedef struct DomecastView {
    int32_t width;
    int32_t height;
    float heading;
    float pitch;
    const uint8_t* rgb;
} DomecastView;

/* Opens the plug-in end. peer_process_id is the process Domecast records as its peer and
 * watches: a plug-in running as a process of its own names its paint program (for GIMP,
 * getppid()); 0 names the calling process. NULL on success with *link set; else the text
 * of the message to show the user, and *link is NULL. */
const char* domecast_link_open(DomecastLink** link, uint32_t peer_process_id);

/* The view Domecast last described in the record (after "Paint this view" or a view it
 * sent): the heading and pitch a picture painted on that view is sent with, radians. */
void domecast_link_view_angles(const DomecastLink* link, float* heading, float* pitch);

/* Fills a request with command 20, the mask chosen from the view marker, all else zero. */
void domecast_request_init(DomecastRequest* request);

/* Sends the request, tile by tile, waiting for Domecast at each tile. */
DomecastResult domecast_link_send(DomecastLink* link, const DomecastRequest* request);

/* Waits for the view Domecast streams (after "Paint this view", or a rotate command). */
DomecastResult domecast_link_receive(DomecastLink* link, DomecastView* view);

/* How long a send or receive waits for the next tile before it cancels the transfer and
 * gives up, in milliseconds; 0 (the default after open) waits as long as Domecast lives. A
 * plug-in running inside its paint program's menu sets this, so that a Domecast that hangs
 * cannot hang the paint program. */
void domecast_link_set_patience(DomecastLink* link, int32_t milliseconds);

/* Tells Domecast to abandon the transfer in progress. */
void domecast_link_cancel(DomecastLink* link);

/* Closes the link and frees it; NULL is ignored. */
void domecast_link_close(DomecastLink* link);

/* The view marker of heading and pitch: red bits 0-7, green 8-15, blue 16-23. */
uint32_t domecast_view_marker(float heading, float pitch);

/* 1 when any corner pixel of picture carries the marker of heading and pitch, else 0. */
int domecast_has_view_marker(const DomecastPicture* picture, float heading, float pitch);

/* Writes the marker of heading and pitch into the four corner pixels of a picture laid out
 * as DomecastPicture describes. */
void domecast_stamp_view_marker(uint8_t* pixels, int32_t width, int32_t height, int32_t bytes_per_pixel,
                                size_t stride, float heading, float pitch);

/* Reads the string setting name (the user's settings first, then the machine's) into
 * value, terminated. 1 when found; 0 when missing; -1 when it does not fit in size bytes
 * (value is then empty). */
int domecast_read_setting(const char* name, char* value, size_t size);

#ifdef __cplusplus
}
#endif

#endif
