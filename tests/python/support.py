"""Shared set-up for the binding's tests: a fresh working directory per test
(the parameter database lives under it) and the library under test."""

import os
import shutil
import tempfile
import unittest

LIBRARY = os.environ.get("DUTYGATE_LIBRARY", "")


class WorkingDirTest(unittest.TestCase):
    def setUp(self):
        if not LIBRARY:
            self.skipTest("DUTYGATE_LIBRARY is not set")
        self._previous = os.getcwd()
        self.dir = tempfile.mkdtemp(prefix="dutygate-py-")
        os.chdir(self.dir)

    def tearDown(self):
        os.chdir(self._previous)
        shutil.rmtree(self.dir, ignore_errors=True)


class Recorder:
    """An event handler that records every event it is given."""

    def __init__(self):
        self.events = []

    def BackAdmin(self, *args):
        self.events.append(("BackAdmin",) + args)

    def eventSetClass(self, *args):
        self.events.append(("eventSetClass",) + args)
