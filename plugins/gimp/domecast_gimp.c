/* GIMP 2.10 plug-ins that paint a Domecast panorama: they send the picture GIMP shows to
 * Domecast, turn Domecast's view and bring the new view back, over the link's C interface.
 *
 * One source, five executables: DOMECAST_EXECUTABLE selects the procedures one executable
 * registers. Each run is a process of its own, started by GIMP; GIMP itself (the parent)
 * is recorded as the link's peer. Nothing here needs a display. */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <libgimp/gimp.h>

#include "link/domecast_link.h"

enum Action { SEND, GET_VIEW, TURN };

typedef struct Procedure {
    const char* name;
    const char* label;
    const char* blurb;
    enum Action action;
    float step_x, step_y;
} Procedure;

#define ACTIVATE 1
#define LEFT 2
#define RIGHT 3
#define UP 4
#define DOWN 5

static const Procedure procedures[] = {
#if DOMECAST_EXECUTABLE == ACTIVATE
    {"plug-in-domecast-send", "Send to Domecast",
     "Sends the picture to Domecast, which paints it onto the panorama and comes to the front", SEND, 0, 0},
    {"plug-in-domecast-get-view", "Get View from Domecast",
     "Brings Domecast's current view into GIMP as a new image", GET_VIEW, 0, 0},
#elif DOMECAST_EXECUTABLE == LEFT
    {"plug-in-domecast-turn-left", "Turn Left",
     "Sends the picture to Domecast, turns the view left and replaces the picture with the new view", TURN, 1, 0},
#elif DOMECAST_EXECUTABLE == RIGHT
    {"plug-in-domecast-turn-right", "Turn Right",
     "Sends the picture to Domecast, turns the view right and replaces the picture with the new view", TURN, -1, 0},
#elif DOMECAST_EXECUTABLE == UP
    {"plug-in-domecast-tilt-up", "Tilt Up",
     "Sends the picture to Domecast, tilts the view up and replaces the picture with the new view", TURN, 0, 1},
#elif DOMECAST_EXECUTABLE == DOWN
    {"plug-in-domecast-tilt-down", "Tilt Down",
     "Sends the picture to Domecast, tilts the view down and replaces the picture with the new view", TURN, 0, -1},
#else
#error "DOMECAST_EXECUTABLE names none of the plug-in executables"
#endif
};

/* A Domecast that stops answering must not hold GIMP's menu command forever. */
#define PATIENCE_MS 30000
/* How long a started Domecast has to open its end of the link. */
#define START_WAIT_MS 15000
#define DEFAULT_WIDTH 1024
#define DEFAULT_HEIGHT 768

static const char not_running[] =
    "Domecast is not running; command cancelled.\n\nYou must start Domecast BEFORE invoking this\nplugin command.";

static void query(void) {
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, "run-mode", "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }"},
        {GIMP_PDB_IMAGE, "image", "Input image"},
        {GIMP_PDB_DRAWABLE, "drawable", "Input drawable (unused: the visible layers are sent)"},
    };
    static const GimpParamDef view_result[] = {
        {GIMP_PDB_IMAGE, "new-image", "The view as a new image"},
    };
    size_t i;
    for (i = 0; i < G_N_ELEMENTS(procedures); ++i) {
        const Procedure* p = &procedures[i];
        const gboolean gets_view = p->action == GET_VIEW;
        /* The view can be fetched with no image open; the others need a picture. */
        gimp_install_procedure(p->name, p->blurb, p->blurb, "Domecast", "Domecast", "2026", p->label,
                               gets_view ? "" : "*", GIMP_PLUGIN, G_N_ELEMENTS(arguments),
                               gets_view ? G_N_ELEMENTS(view_result) : 0, arguments,
                               gets_view ? view_result : NULL);
        gimp_plugin_menu_register(p->name, "<Image>/Filters/Domecast");
    }
}

/* The picture as the user sees it (the visible layers composited), read from a flattened
 * duplicate so that the user's image stays as it is. 8-bit red, green, blue, rows packed. */
static guint8* read_visible(gint32 image, gint* width, gint* height, const char** problem) {
    gint32 copy, layer;
    guint8* pixels = NULL;
    *problem = NULL;
    copy = gimp_image_duplicate(image);
    if (copy < 0) {
        *problem = "Domecast: the picture could not be read.";
        return NULL;
    }
    gimp_image_undo_disable(copy);
    if (gimp_image_base_type(copy) != GIMP_RGB) gimp_image_convert_rgb(copy);
    layer = gimp_image_flatten(copy);
    if (layer < 0) {
        *problem = "Domecast: the picture has no visible layer to send.";
    } else {
        GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
        *width = gegl_buffer_get_width(buffer);
        *height = gegl_buffer_get_height(buffer);
        pixels = g_try_malloc((gsize)*width * (gsize)*height * 3);
        if (pixels == NULL)
            *problem = "Domecast: not enough memory for the picture.";
        else
            gegl_buffer_get(buffer, GEGL_RECTANGLE(0, 0, *width, *height), 1.0, babl_format("R'G'B' u8"), pixels,
                            GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        g_object_unref(buffer);
    }
    gimp_image_delete(copy);
    return pixels;
}

static void write_pixels(gint32 drawable, const DomecastView* view, gboolean undoable) {
    GeglBuffer* buffer = undoable ? gimp_drawable_get_shadow_buffer(drawable) : gimp_drawable_get_buffer(drawable);
    gegl_buffer_set(buffer, GEGL_RECTANGLE(0, 0, view->width, view->height), 0, babl_format("R'G'B' u8"), view->rgb,
                    GEGL_AUTO_ROWSTRIDE);
    gegl_buffer_flush(buffer);
    g_object_unref(buffer);
    if (undoable) gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, 0, 0, view->width, view->height);
}

/* Flattens the picture and puts the view in its place, the canvas sized to the view: one
 * undo group, so one Undo brings the layers and the old view back. FALSE when GIMP left
 * no layer to put it in. */
static gboolean replace_picture(gint32 image, const DomecastView* view) {
    gint32 layer;
    gimp_image_undo_group_start(image);
    if (gimp_image_base_type(image) != GIMP_RGB) gimp_image_convert_rgb(image);
    gimp_selection_none(image);
    layer = gimp_image_flatten(image);
    if (gimp_image_width(image) != view->width || gimp_image_height(image) != view->height)
        gimp_image_resize(image, view->width, view->height, 0, 0);
    if (layer >= 0) {
        gimp_layer_resize_to_image_size(layer);
        write_pixels(layer, view, TRUE);
    }
    gimp_image_undo_group_end(image);
    return layer >= 0;
}

/* The view as a new image of one layer; -1 when GIMP refused to make it. */
static gint32 new_view_image(const DomecastView* view) {
    const gint32 image = gimp_image_new(view->width, view->height, GIMP_RGB);
    gint32 layer;
    if (image < 0) return -1;
    gimp_image_undo_disable(image);
    layer = gimp_layer_new(image, "Domecast view", view->width, view->height, GIMP_RGB_IMAGE, 100,
                           GIMP_LAYER_MODE_NORMAL);
    if (layer < 0 || !gimp_image_insert_layer(image, layer, 0, 0)) {
        gimp_image_delete(image);
        return -1;
    }
    write_pixels(layer, view, FALSE);
    gimp_image_undo_enable(image);
    return image;
}

/* Starts Domecast detached from GIMP: a session of its own, none of GIMP's descriptors.
 * NULL when it started, else why not. */
static const char* start_domecast(void) {
    static char reason[4400];
    char folder[4096], path[4200];
    const char* program = "domecast";
    int report[2];
    pid_t child;
    int error = 0;
    ssize_t got;
    if (domecast_read_setting("DomecastPath", folder, sizeof folder) == 1 && folder[0] != 0) {
        snprintf(path, sizeof path, "%s/domecast", folder);
        program = path;
    }
    if (pipe(report) != 0) return "Domecast could not be started.";
    fcntl(report[0], F_SETFD, FD_CLOEXEC);
    fcntl(report[1], F_SETFD, FD_CLOEXEC);
    child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return "Domecast could not be started.";
    }
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        sigset_t no_signals;
        long fd, last = sysconf(_SC_OPEN_MAX);
        setsid();
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        if (last < 0 || last > 65536) last = 65536;
        for (fd = 3; fd < last; ++fd)
            if (fd != report[1]) close((int)fd);
        /* An ignored signal and the mask survive exec; the editor starts with defaults. */
        signal(SIGPIPE, SIG_DFL);
        signal(SIGCHLD, SIG_DFL);
        sigemptyset(&no_signals);
        sigprocmask(SIG_SETMASK, &no_signals, NULL);
        if (strchr(program, '/') != NULL)
            execl(program, program, (char*)NULL);
        else
            execlp(program, program, (char*)NULL);
        error = errno;
        if (write(report[1], &error, sizeof error) < 0) _exit(127);
        _exit(127);
    }
    close(report[1]);
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == (ssize_t)sizeof error) {
        snprintf(reason, sizeof reason, "Domecast could not be started (%s): %s", program, g_strerror(error));
        return reason;
    }
    return NULL;
}

static void sleep_ms(long ms) {
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

/* Opens the link with GIMP as the peer; for a send, starts Domecast when it is not running
 * and waits for it. NULL on success, else the message for the user. */
static const char* open_link(DomecastLink** link, gboolean may_start) {
    const guint32 gimp = (guint32)getppid();
    const char* message = domecast_link_open(link, gimp);
    const char* started;
    long waited;
    if (message == NULL) return NULL;
    if (strncmp(message, "Domecast is not running", 23) != 0) return message;
    if (!may_start) return not_running;
    started = start_domecast();
    if (started != NULL) return started;
    for (waited = 0; waited < START_WAIT_MS; waited += 100) {
        sleep_ms(100);
        if (domecast_link_open(link, gimp) == NULL) return NULL;
    }
    return "Domecast was started but did not answer within 15 seconds; command cancelled.";
}

static GimpPDBStatusType report(DomecastResult result) {
    switch (result) {
        case DOMECAST_DONE: return GIMP_PDB_SUCCESS;
        case DOMECAST_CANCELLED:
            gimp_message("Domecast cancelled the transfer.");
            return GIMP_PDB_CANCEL;
        case DOMECAST_APP_GONE: gimp_message("Domecast ended during the transfer."); break;
        case DOMECAST_BAD_REQUEST: gimp_message("Domecast cannot take a picture of this size."); break;
        case DOMECAST_NO_MEMORY: gimp_message("Domecast: not enough memory for the transfer."); break;
        case DOMECAST_TIMED_OUT:
            gimp_message("Domecast did not answer for 30 seconds; the transfer was cancelled.");
            break;
    }
    return GIMP_PDB_EXECUTION_ERROR;
}

/* Sends the visible picture; for a turn, also the steps, and receives the view that follows. */
static GimpPDBStatusType send_picture(DomecastLink* link, const Procedure* p, gint32 image, DomecastView* view) {
    DomecastRequest request;
    DomecastPicture picture;
    DomecastResult result;
    const char* problem;
    gint width = 0, height = 0;
    guint8* pixels = read_visible(image, &width, &height, &problem);
    if (pixels == NULL) {
        gimp_message(problem);
        return GIMP_PDB_EXECUTION_ERROR;
    }
    picture.pixels = pixels;
    picture.width = width;
    picture.height = height;
    picture.bytes_per_pixel = 3;
    picture.stride = (size_t)width * 3;
    domecast_request_init(&request);
    request.command = p->action == TURN ? DOMECAST_COMMAND_ROTATE : DOMECAST_COMMAND_APPLY_AND_SHOW;
    /* The mask stays chosen from the marker: corners carrying the marker of the view
       Domecast described are not paint. */
    domecast_link_view_angles(link, &request.heading, &request.pitch);
    request.step_x = p->step_x;
    request.step_y = p->step_y;
    request.picture = &picture;
    result = domecast_link_send(link, &request);
    g_free(pixels);
    if (result == DOMECAST_DONE && p->action == TURN) result = domecast_link_receive(link, view);
    return report(result);
}

static GimpPDBStatusType get_view(DomecastLink* link, gint32 image, DomecastView* view) {
    DomecastRequest request;
    DomecastResult result;
    domecast_request_init(&request);
    request.command = DOMECAST_COMMAND_ROTATE;
    request.mask_mode = DOMECAST_MASK_NONE;
    domecast_link_view_angles(link, &request.heading, &request.pitch);
    request.width = DEFAULT_WIDTH;
    request.height = DEFAULT_HEIGHT;
    if (image >= 0 && gimp_image_is_valid(image)) {
        request.width = gimp_image_width(image);
        request.height = gimp_image_height(image);
    }
    result = domecast_link_send(link, &request);
    if (result == DOMECAST_DONE) result = domecast_link_receive(link, view);
    return report(result);
}

static void run(const gchar* name, gint argument_count, const GimpParam* arguments, gint* result_count,
                GimpParam** results) {
    static GimpParam values[2];
    const Procedure* p = NULL;
    GimpRunMode mode = GIMP_RUN_NONINTERACTIVE;
    GimpPDBStatusType status = GIMP_PDB_CALLING_ERROR;
    gint32 image = -1;
    DomecastLink* link = NULL;
    DomecastView view;
    const char* message;
    size_t i;

    *result_count = 1;
    *results = values;
    values[0].type = GIMP_PDB_STATUS;
    for (i = 0; i < G_N_ELEMENTS(procedures); ++i)
        if (strcmp(name, procedures[i].name) == 0) p = &procedures[i];
    if (p == NULL || argument_count < 1) {
        gimp_message("Domecast: GIMP called this plug-in with a procedure it does not know; command cancelled.");
        values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
        return;
    }
    mode = (GimpRunMode)arguments[0].data.d_int32;
    /* From the menu with no image open, GIMP passes the run mode alone. */
    if (argument_count >= 2) image = arguments[1].data.d_image;
    if (p->action != GET_VIEW && (image < 0 || !gimp_image_is_valid(image))) {
        gimp_message("Domecast: open the picture to send first; command cancelled.");
        values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
        return;
    }
    memset(&view, 0, sizeof view);

    /* Before GEGL starts its threads: a send may fork Domecast. */
    message = open_link(&link, p->action == SEND);
    if (message != NULL) {
        gimp_message(message);
        values[0].data.d_status = GIMP_PDB_EXECUTION_ERROR;
        return;
    }
    gegl_init(NULL, NULL);
    domecast_link_set_patience(link, PATIENCE_MS);
    if (p->action == GET_VIEW)
        status = get_view(link, image, &view);
    else
        status = send_picture(link, p, image, &view);

    if (status == GIMP_PDB_SUCCESS && p->action == TURN) {
        if (!replace_picture(image, &view)) {
            gimp_message("Domecast: the picture has no layer to put the new view in.");
            status = GIMP_PDB_EXECUTION_ERROR;
        }
    } else if (status == GIMP_PDB_SUCCESS && p->action == GET_VIEW) {
        const gint32 made = new_view_image(&view);
        if (made < 0) {
            gimp_message("Domecast: GIMP could not make a new image for the view.");
            status = GIMP_PDB_EXECUTION_ERROR;
        } else {
            if (mode == GIMP_RUN_INTERACTIVE) gimp_display_new(made);
            *result_count = 2;
            values[1].type = GIMP_PDB_IMAGE;
            values[1].data.d_image = made;
        }
    }
    /* The view's pixels belong to the link: it closes only after they were placed. */
    domecast_link_close(link);
    if (mode == GIMP_RUN_INTERACTIVE) gimp_displays_flush();
    values[0].data.d_status = status;
}

const GimpPlugInInfo PLUG_IN_INFO = {NULL, NULL, query, run};

MAIN()
