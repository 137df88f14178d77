"""The TarnlowSTData library from Python.

Objects are created by class name or class identity (``tarnlow.create``) or
by their class (``tarnlow.clsPORService()``); their members are attributes,
reached by name with letter case ignored. Every failure raises
``tarnlow.Error`` with the library's error record.
"""
from ._tarnlow import *  # noqa: F401,F403
from ._tarnlow import __version__  # noqa: F401
