"""Run inside Krita by the Domecast plug-in's start-up hook (DOMECAST_KRITA_TEST_SCRIPT) for
krita_editor_test. In the folder DOMECAST_KRITA_TEST_FOLDER it runs "Send to Domecast" and
"Get View from Domecast" with no picture open, opens picture.bmp, runs the plug-in's menu
actions against the running editor as a user would, writes what Krita shows after each as
PPM files and a line per step into steps.txt, and quits Krita."""
import os
import sys
import traceback

from krita import Krita
from PyQt5.QtWidgets import QMenu

folder = os.environ["DOMECAST_KRITA_TEST_FOLDER"]
app = Krita.instance()


def step(text):
    with open(os.path.join(folder, "steps.txt"), "a") as f:
        f.write(text + "\n")


def save_shown(document, name):
    document.waitForDone()
    document.refreshProjection()
    image = document.projection(0, 0, document.width(), document.height())
    if not image.save(os.path.join(folder, name), "PPM"):
        step("could not write " + name)


def activate(document):
    window = app.activeWindow()
    for view in window.views():
        if view.document() == document:
            window.showView(view)
            view.setVisible()
            return
    window.addView(document)


try:
    menus = [w.title() for w in app.action("domecast_send").associatedWidgets() if isinstance(w, QMenu)]
    step("menu " + ",".join(menus))
    step("docker %s" % ("domecast_docker" in [d.objectName() for d in app.dockers()]))

    # As a user starts: no picture open yet. A send has nothing to send and says so.
    app.action("domecast_send").trigger()
    step("documents %d" % len(app.documents()))
    app.action("domecast_get_view").trigger()
    fresh = app.activeDocument()
    if fresh is None:
        step("no fresh view document")
    else:
        step("fresh view %dx%d" % (fresh.width(), fresh.height()))
        save_shown(fresh, "fresh.ppm")

    picture = app.openDocument(os.path.join(folder, "picture.bmp"))
    app.activeWindow().addView(picture)
    step("opened %dx%d" % (picture.width(), picture.height()))

    app.action("domecast_get_view").trigger()
    fetched = app.activeDocument()
    if fetched is None or fetched in (picture, fresh):
        step("no view document")
    else:
        step("view %dx%d" % (fetched.width(), fetched.height()))
        save_shown(fetched, "fetched.ppm")

    activate(picture)
    app.action("domecast_send").trigger()
    step("sent")

    app.action("domecast_turn_left").trigger()
    save_shown(picture, "turned.ppm")
    step("turned")
    app.action("edit_undo").trigger()
    save_shown(picture, "undone.ppm")
    step("undone")
except Exception:
    step("failed: " + traceback.format_exc())

for document in app.documents():
    document.setModified(False)
step("quitting")
sys.stderr.flush()
app.action("file_quit").trigger()
