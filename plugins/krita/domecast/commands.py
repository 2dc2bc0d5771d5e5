"""The six commands on Krita's documents. Each raises domecast_link.LinkError with the
message for the user when it did not happen."""
from krita import Krita
from PyQt5.QtGui import QImage

from . import domecast_link
from .domecast_link import Link, LinkError

# (action id, menu text, what it does): the order of the menu and the docker's buttons.
COMMANDS = [
    ("domecast_get_view", "Get View from Domecast", "get_view"),
    ("domecast_send", "Send to Domecast", "send"),
    ("domecast_turn_left", "Turn Left", "left"),
    ("domecast_turn_right", "Turn Right", "right"),
    ("domecast_tilt_up", "Tilt Up", "up"),
    ("domecast_tilt_down", "Tilt Down", "down"),
]


def _active_document():
    document = Krita.instance().activeDocument()
    if document is None:
        raise LinkError("Domecast: open a picture first.")
    return document


def _visible_rgb(document):
    """The picture as the user sees it (all visible layers), 8-bit red, green, blue, top
    row first: (bytes, width, height, stride)."""
    document.waitForDone()
    width, height = document.width(), document.height()
    image = document.projection(0, 0, width, height)
    if image is None or image.isNull():
        raise LinkError("Domecast: the picture could not be read.")
    image = image.convertToFormat(QImage.Format_RGB888)
    pixels = image.constBits()
    pixels.setsize(image.sizeInBytes())
    return bytes(pixels), image.width(), image.height(), image.bytesPerLine()


def _bgra(view):
    """The view in the byte order of Krita's 8-bit RGBA layers (blue, green, red, alpha)."""
    image = QImage(view.rgb, view.width, view.height, view.width * 3, QImage.Format_RGB888)
    image = image.convertToFormat(QImage.Format_ARGB32)
    pixels = image.constBits()
    pixels.setsize(image.sizeInBytes())
    return bytes(pixels)


def _view_layer(document, view):
    layer = document.createNode("Domecast view", "paintlayer")
    layer.setPixelData(_bgra(view), 0, 0, view.width, view.height)
    return layer


def _require_8bit_rgb(document):
    if document.colorModel() != "RGBA" or document.colorDepth() != "U8":
        raise LinkError("Domecast: the view can only be placed in an 8-bit RGB picture; "
                        "convert the picture with Image > Convert Image Color Space first.")


def get_view():
    """Domecast's current view as a new document, of the active document's size."""
    application = Krita.instance()
    current = application.activeDocument()
    size = (current.width(), current.height()) if current is not None else domecast_link.DEFAULT_SIZE
    with Link() as link:
        view = link.get_view(*size)
        document = application.createDocument(view.width, view.height, "Domecast view", "RGBA", "U8", "", 72.0)
        root = document.rootNode()
        for node in root.childNodes():
            root.removeChildNode(node)
        root.addChildNode(_view_layer(document, view), None)
    document.refreshProjection()
    document.setModified(False)
    window = application.activeWindow()
    if window is not None:
        window.addView(document)
    return document


def send():
    """The active document as the user sees it, to Domecast (started when not running)."""
    pixels, width, height, stride = _visible_rgb(_active_document())
    with Link(may_start=True) as link:
        link.send(pixels, width, height, 3, stride)


def turn(direction):
    """Sends the active document, turns Domecast's view and lays the new view over the
    picture as one layer: one Undo takes the turn back."""
    document = _active_document()
    _require_8bit_rgb(document)
    pixels, width, height, stride = _visible_rgb(document)
    with Link() as link:
        view = link.turn(direction, pixels, width, height, 3, stride)
        layer = _view_layer(document, view)
    root = document.rootNode()
    children = root.childNodes()
    root.addChildNode(layer, children[-1] if children else None)
    document.setActiveNode(layer)
    document.refreshProjection()
    document.waitForDone()


def run(what):
    """Runs one command by its COMMANDS name."""
    if what == "get_view":
        get_view()
    elif what == "send":
        send()
    else:
        turn(what)
