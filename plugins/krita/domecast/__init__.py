"""Domecast for Krita: registers the extension (the menu actions) and the docker."""
from krita import DockWidgetFactory, DockWidgetFactoryBase, Krita

from .docker import DomecastDocker
from .extension import DomecastExtension

Krita.instance().addExtension(DomecastExtension(Krita.instance()))
Krita.instance().addDockWidgetFactory(
    DockWidgetFactory("domecast_docker", DockWidgetFactoryBase.DockRight, DomecastDocker))
