"""A host with no display at all (no QT_QPA_PLATFORM, DISPLAY or
WAYLAND_DISPLAY), with the clock set by libfaketime to 2026-12-07 06:00:20
(TZ=UTC): both classes work without dialogs, and the dialogs fail cleanly."""

import ctypes
import datetime
import os
import unittest

for name in ("QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"):
    os.environ.pop(name, None)

import dutygate  # noqa: E402
from dutygate import _native  # noqa: E402
from support import LIBRARY, Recorder, WorkingDirTest  # noqa: E402


class Headless(WorkingDirTest):
    def test_both_classes_without_a_display(self):
        password = dutygate.CreateObject("Dutygate.clsPassword")
        shift = dutygate.CreateObject("Dutygate.clsShiftClass")
        recorder = Recorder()
        dutygate.WithEvents(shift, recorder)
        dutygate.WithEvents(password, recorder)

        self.assertIsNone(shift.ShiftClass())
        self.assertEqual(recorder.events, [("eventSetClass", 4, "2", "乙班", datetime.date(2026, 12, 7))])

        for method in ("ShowDialog", "ShowRevise", "ShowLanding"):
            with self.assertRaises(dutygate.DutygateError, msg=method) as caught:
                getattr(password, method)()
            self.assertEqual(caught.exception.status, 0x80004005, method)
            self.assertTrue(caught.exception.description.startswith("没有可用的显示器，无法显示对话框：DISPLAY"),
                            method)
        with self.assertRaises(dutygate.DutygateError) as caught:
            shift.ShowSetClass()
        self.assertIn("没有可用的显示器", caught.exception.description)
        self.assertEqual(dutygate.ProcessEvents(10), -1)
        self.assertEqual(len(recorder.events), 1, "no BackAdmin from a dialog that never showed")
        platform, why = ctypes.c_char_p(), ctypes.c_char_p()
        self.assertEqual(_native.load(LIBRARY).dg_display_check(ctypes.byref(platform), ctypes.byref(why)), 0)
        self.assertIn("DISPLAY is not set", why.value.decode())

        # Still usable after the failures.
        self.assertIsNone(shift.ShiftClass())
        password.close()
        shift.close()

    def test_a_folder_where_nothing_can_be_created_is_described_in_chinese(self):
        # A plain file named mdb stands for a read-only working folder. With no
        # display the message box writes its title and text to standard error.
        with open("mdb", "w") as f:
            f.write("plain")
        saved = os.dup(2)
        with open("stderr.txt", "w+") as err:
            os.dup2(err.fileno(), 2)
            try:
                with self.assertRaises(dutygate.DutygateError) as caught:
                    dutygate.CreateObject("Dutygate.clsShiftClass")
            finally:
                os.dup2(saved, 2)
                os.close(saved)
            err.seek(0)
            shown = err.read()
        self.assertIn("Dutygate: 无法创建数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）：Not a directory（位置：", shown)
        self.assertEqual(caught.exception.status, 0x80004005)
        self.assertTrue(caught.exception.description.startswith(
            "无法打开数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）（文件不存在或无法访问）："
            "unable to open database file；Not a directory（位置：/"),
            caught.exception.description)


if __name__ == "__main__":
    unittest.main()
