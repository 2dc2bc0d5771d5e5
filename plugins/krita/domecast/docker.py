"""The Domecast docker: the six commands as buttons."""
from krita import DockWidget
from PyQt5.QtWidgets import QGridLayout, QPushButton, QWidget

from . import commands
from .extension import run_command


class DomecastDocker(DockWidget):
    def __init__(self):
        super().__init__()
        self.setWindowTitle("Domecast")
        panel = QWidget(self)
        layout = QGridLayout(panel)
        for index, (_, text, what) in enumerate(commands.COMMANDS):
            button = QPushButton(text, panel)
            button.clicked.connect(lambda checked=False, w=what: run_command(w))
            layout.addWidget(button, index // 2, index % 2)
        self.setWidget(panel)

    def canvasChanged(self, canvas):
        pass
