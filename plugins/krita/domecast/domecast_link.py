"""The plug-in end of the link with a running Domecast, for the Krita plug-in.

Everything about the link itself (the shared record, the tiles, the view marker, the
settings) is libdomecast_link.so's: this module only calls its C interface through ctypes
and turns its results into the messages a user reads. It needs neither Krita nor Qt, so
it can be driven from any Python 3 program.
"""

import ctypes
import os
import subprocess
import time

COMMAND_APPLY_AND_SHOW = 20
COMMAND_ROTATE = 21
MASK_FROM_MARKER = -1
MASK_NONE = 0

DONE, CANCELLED, APP_GONE, BAD_REQUEST, NO_MEMORY, TIMED_OUT = range(6)

# A Domecast that stops answering must not hold Krita's menu command forever.
PATIENCE_MS = 30000
# How long a started Domecast has to open its end of the link.
START_WAIT_SECONDS = 15
# The size "Get View from Domecast" asks for when no picture is open.
DEFAULT_SIZE = (1024, 768)

# The rotation steps of the turn commands (step_x, step_y), as the record carries them.
TURNS = {
    "left": (1.0, 0.0),
    "right": (-1.0, 0.0),
    "up": (0.0, 1.0),
    "down": (0.0, -1.0),
}

NOT_RUNNING = ("Domecast is not running; command cancelled.\n\n"
               "You must start Domecast BEFORE invoking this\nplugin command.")

_RESULT_TEXTS = {
    CANCELLED: "Domecast cancelled the transfer.",
    APP_GONE: "Domecast ended during the transfer.",
    BAD_REQUEST: "Domecast cannot take a picture of this size.",
    NO_MEMORY: "Domecast: not enough memory for the transfer.",
    TIMED_OUT: "Domecast did not answer for 30 seconds; the transfer was cancelled.",
}


class LinkError(Exception):
    """A command that did not happen; str() is the message for the user."""


class _Picture(ctypes.Structure):
    _fields_ = [("pixels", ctypes.c_void_p), ("width", ctypes.c_int32), ("height", ctypes.c_int32),
                ("bytes_per_pixel", ctypes.c_int32), ("stride", ctypes.c_size_t)]


class _Request(ctypes.Structure):
    _fields_ = [("command", ctypes.c_int32), ("mask_mode", ctypes.c_int32), ("heading", ctypes.c_float),
                ("pitch", ctypes.c_float), ("step_x", ctypes.c_float), ("step_y", ctypes.c_float),
                ("new_face_size", ctypes.c_int32), ("template_path", ctypes.c_char_p),
                ("picture", ctypes.POINTER(_Picture)), ("width", ctypes.c_int32), ("height", ctypes.c_int32)]


class _View(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int32), ("height", ctypes.c_int32), ("heading", ctypes.c_float),
                ("pitch", ctypes.c_float), ("rgb", ctypes.POINTER(ctypes.c_uint8))]


class View:
    """A view received from Domecast: rgb holds red, green, blue, top row first, rows
    unpadded; its corners carry the view marker of heading and pitch (radians)."""

    def __init__(self, width, height, heading, pitch, rgb):
        self.width, self.height, self.heading, self.pitch, self.rgb = width, height, heading, pitch, rgb


_library = None


def library():
    """libdomecast_link.so.1: the copy beside this module (as the plug-in is installed),
    else the one the dynamic loader finds."""
    global _library
    if _library is not None:
        return _library
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libdomecast_link.so.1")
    try:
        lib = ctypes.CDLL(beside if os.path.exists(beside) else "libdomecast_link.so.1")
    except OSError as error:
        raise LinkError("Domecast: the link library could not be loaded (%s)." % error) from None
    handle = ctypes.c_void_p
    lib.domecast_link_open.argtypes = [ctypes.POINTER(handle), ctypes.c_uint32]
    lib.domecast_link_open.restype = ctypes.c_char_p
    lib.domecast_link_view_angles.argtypes = [handle, ctypes.POINTER(ctypes.c_float), ctypes.POINTER(ctypes.c_float)]
    lib.domecast_link_view_angles.restype = None
    lib.domecast_request_init.argtypes = [ctypes.POINTER(_Request)]
    lib.domecast_request_init.restype = None
    lib.domecast_link_send.argtypes = [handle, ctypes.POINTER(_Request)]
    lib.domecast_link_send.restype = ctypes.c_int
    lib.domecast_link_receive.argtypes = [handle, ctypes.POINTER(_View)]
    lib.domecast_link_receive.restype = ctypes.c_int
    lib.domecast_link_set_patience.argtypes = [handle, ctypes.c_int32]
    lib.domecast_link_set_patience.restype = None
    lib.domecast_link_close.argtypes = [handle]
    lib.domecast_link_close.restype = None
    lib.domecast_read_setting.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
    lib.domecast_read_setting.restype = ctypes.c_int
    lib.domecast_view_marker.argtypes = [ctypes.c_float, ctypes.c_float]
    lib.domecast_view_marker.restype = ctypes.c_uint32
    _library = lib
    return lib


def read_setting(name):
    """The string setting name (the user's settings, then the machine's), or None."""
    value = ctypes.create_string_buffer(4096)
    if library().domecast_read_setting(name.encode(), value, len(value)) != 1:
        return None
    return value.value.decode(errors="replace")


def view_marker(heading, pitch):
    """The marker of heading and pitch (radians): red bits 0-7, green 8-15, blue 16-23."""
    return library().domecast_view_marker(heading, pitch)


# Domecast processes this module started, kept so that their ends are collected.
_started = []


def start_domecast():
    """Starts Domecast ("DomecastPath", else the PATH) detached from the paint program: a
    session of its own, none of its descriptors. Raises LinkError when it could not."""
    _started[:] = [p for p in _started if p.poll() is None]
    folder = read_setting("DomecastPath")
    program = os.path.join(folder, "domecast") if folder else "domecast"
    try:
        _started.append(subprocess.Popen([program], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL, close_fds=True, start_new_session=True,
                                         restore_signals=True))
    except OSError as error:
        raise LinkError("Domecast could not be started (%s): %s" % (program, error.strerror)) from None


class Link:
    """One open plug-in end of the link; a context manager that closes it."""

    def __init__(self, may_start=False, peer_process_id=0):
        """Opens the link with peer_process_id (0: this process) as Domecast's peer. With
        may_start a Domecast that is not running is started and waited for."""
        self._lib = library()
        self._handle = ctypes.c_void_p()
        message = self._lib.domecast_link_open(ctypes.byref(self._handle), peer_process_id)
        if message is not None:
            text = message.decode(errors="replace")
            if not text.startswith("Domecast is not running"):
                raise LinkError(text)
            if not may_start:
                raise LinkError(NOT_RUNNING)
            start_domecast()
            deadline = time.monotonic() + START_WAIT_SECONDS
            while message is not None:
                if time.monotonic() >= deadline:
                    raise LinkError("Domecast was started but did not answer within 15 seconds; "
                                    "command cancelled.")
                time.sleep(0.1)
                message = self._lib.domecast_link_open(ctypes.byref(self._handle), peer_process_id)
        self._lib.domecast_link_set_patience(self._handle, PATIENCE_MS)
        self._view = _View()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def close(self):
        if self._handle:
            self._lib.domecast_link_close(self._handle)
            self._handle = ctypes.c_void_p()

    def view_angles(self):
        """The heading and pitch (radians) of the view Domecast last described."""
        heading, pitch = ctypes.c_float(), ctypes.c_float()
        self._lib.domecast_link_view_angles(self._handle, ctypes.byref(heading), ctypes.byref(pitch))
        return heading.value, pitch.value

    def _request(self, command, mask_mode=MASK_FROM_MARKER):
        request = _Request()
        self._lib.domecast_request_init(ctypes.byref(request))
        request.command = command
        request.mask_mode = mask_mode
        request.heading, request.pitch = self.view_angles()
        return request

    def _check(self, result):
        if result != DONE:
            raise LinkError(_RESULT_TEXTS.get(result, "Domecast: the transfer failed."))

    def _send(self, request, pixels=None, width=0, height=0, bytes_per_pixel=3, stride=0):
        if pixels is None:
            self._check(self._lib.domecast_link_send(self._handle, ctypes.byref(request)))
            return
        stride = stride or width * bytes_per_pixel
        if width <= 0 or height <= 0 or len(pixels) < stride * (height - 1) + width * bytes_per_pixel:
            raise LinkError("Domecast cannot take a picture of this size.")
        buffer = (ctypes.c_uint8 * len(pixels)).from_buffer_copy(pixels)
        picture = _Picture(ctypes.cast(buffer, ctypes.c_void_p), width, height, bytes_per_pixel, stride)
        request.picture = ctypes.pointer(picture)
        self._check(self._lib.domecast_link_send(self._handle, ctypes.byref(request)))

    def _receive(self):
        self._check(self._lib.domecast_link_receive(self._handle, ctypes.byref(self._view)))
        v = self._view
        rgb = ctypes.string_at(v.rgb, v.width * v.height * 3)
        return View(v.width, v.height, v.heading, v.pitch, rgb)

    def send(self, pixels, width, height, bytes_per_pixel=3, stride=0):
        """Sends a picture painted on the view Domecast described (red, green, blue
        [, unused], top row first); Domecast paints it onto the panorama and comes to the
        front. Corners carrying the view's marker are not paint."""
        self._send(self._request(COMMAND_APPLY_AND_SHOW), pixels, width, height, bytes_per_pixel, stride)

    def turn(self, direction, pixels, width, height, bytes_per_pixel=3, stride=0):
        """Sends the picture as send() does, turns Domecast's view one step in direction
        (a key of TURNS) and returns the new view, of the picture's size."""
        request = self._request(COMMAND_ROTATE)
        request.step_x, request.step_y = TURNS[direction]
        self._send(request, pixels, width, height, bytes_per_pixel, stride)
        return self._receive()

    def get_view(self, width=None, height=None):
        """Domecast's current view at width x height (DEFAULT_SIZE when not given)."""
        request = self._request(COMMAND_ROTATE, MASK_NONE)
        request.width, request.height = (width, height) if width and height else DEFAULT_SIZE
        self._send(request)
        return self._receive()
