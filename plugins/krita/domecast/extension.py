"""The menu actions under Tools > Scripts > Domecast, and the test start-up hook."""
import os
import runpy
import sys
import traceback

from krita import Extension, Krita
from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QMessageBox

from . import commands
from .domecast_link import LinkError

# Names a Python file that Krita runs once its first window is up (the plug-in's tests).
TEST_SCRIPT_VARIABLE = "DOMECAST_KRITA_TEST_SCRIPT"


def show_message(text):
    """A message box titled "Domecast"; on standard error when DOMECAST_MESSAGES=stderr."""
    if os.environ.get("DOMECAST_MESSAGES") == "stderr":
        print("Domecast: " + text if not text.startswith("Domecast") else text, file=sys.stderr, flush=True)
        return
    window = Krita.instance().activeWindow()
    QMessageBox.warning(window.qwindow() if window is not None else None, "Domecast", text)


def run_command(what):
    """Runs a command, its failure shown to the user; True when it was done."""
    try:
        commands.run(what)
        return True
    except LinkError as error:
        show_message(str(error))
    except Exception:  # a fault here must reach the user, not end Krita's menu command silently
        show_message("Domecast: the command failed.\n\n" + traceback.format_exc())
    return False


class DomecastExtension(Extension):
    def __init__(self, parent):
        super().__init__(parent)

    def setup(self):
        script = os.environ.get(TEST_SCRIPT_VARIABLE)
        if script:
            Krita.instance().notifier().windowCreated.connect(lambda: QTimer.singleShot(0, lambda: _run_script(script)))

    def createActions(self, window):
        for action_id, text, what in commands.COMMANDS:
            action = window.createAction(action_id, text, "tools/scripts/Domecast")
            action.triggered.connect(lambda checked=False, w=what: run_command(w))


_script_started = False


def _run_script(path):
    global _script_started
    if _script_started:
        return
    _script_started = True
    try:
        runpy.run_path(path, run_name="__main__")
    except SystemExit:
        pass
    except Exception:
        traceback.print_exc()
        sys.stderr.flush()
