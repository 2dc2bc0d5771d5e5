"""The menu actions under Tools > Scripts > Domecast, and the test start-up hook."""
import os
import runpy
import sys
import traceback

from krita import Extension, Krita
from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QMenu, QMessageBox

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
        actions = []
        for action_id, text, what in commands.COMMANDS:
            action = window.createAction(action_id, text, "tools/scripts")
            action.triggered.connect(lambda checked=False, w=what: run_command(w))
            actions.append(action)
        # Krita fills the window's menus after this call and knows no submenus of Scripts:
        # once they are filled, the actions move into one of their own.
        qwindow = window.qwindow()
        QTimer.singleShot(0, lambda: _move_into_submenu(qwindow, actions))


def _move_into_submenu(qwindow, actions):
    submenu = _domecast_menu(qwindow)
    if submenu is None:
        return
    for action in actions:
        for widget in action.associatedWidgets():
            if isinstance(widget, QMenu) and widget is not submenu:
                widget.removeAction(action)
        submenu.addAction(action)


def _child_menu(menu_actions, name):
    for action in menu_actions:
        if action.menu() is not None and action.menu().objectName() == name:
            return action.menu()
    return None


def _domecast_menu(qwindow):
    """Tools > Scripts > Domecast, made when missing; None when Krita has no Scripts menu."""
    bar = qwindow.menuBar() if qwindow is not None else None
    tools = _child_menu(bar.actions(), "tools") if bar is not None else None
    scripts = _child_menu(tools.actions(), "scripts") if tools is not None else None
    if scripts is None:
        return None
    submenu = _child_menu(scripts.actions(), "domecast")
    if submenu is None:
        submenu = scripts.addMenu("Domecast")
        submenu.setObjectName("domecast")
    return submenu


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
