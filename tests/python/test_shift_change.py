"""A whole shift change seen from Python. Run under libfaketime with the clock
started at 2026-12-07 06:00:20 (TZ=UTC): the default schedule's change time 2
(06:00) has just passed."""

import datetime
import gc
import unittest

import dutygate
from support import Recorder, WorkingDirTest

CHANGE_DAY = datetime.date(2026, 12, 7)


class ShiftChange(WorkingDirTest):
    def setUp(self):
        super().setUp()
        now = datetime.datetime.now()
        if now.date() != CHANGE_DAY or not (now.hour, now.minute) == (6, 0):
            self.fail("the clock is not set by libfaketime: %s" % now)

    def test_announced_once_with_python_values(self):
        shift = dutygate.CreateObject("Dutygate.clsShiftClass")
        first, second = Recorder(), Recorder()
        dutygate.WithEvents(shift, first)
        dutygate.WithEvents(shift, second)
        gc.collect()  # the connections are kept by the object, not by the caller

        self.assertIsNone(shift.ShiftClass())
        expected = [("eventSetClass", 4, "2", "乙班", CHANGE_DAY)]
        self.assertEqual(first.events, expected)
        self.assertEqual(second.events, expected)
        banzhi, banci, banbie, date = first.events[0][1:]
        self.assertIs(type(banzhi), int)
        self.assertIs(type(banci), str)  # the shift number arrives as text
        self.assertIs(type(date), datetime.date)

        for _ in range(3):
            self.assertIsNone(shift.ShiftClass())
        self.assertEqual(len(first.events), 1, "announced again within the minute")

    def test_a_handler_may_release_and_its_errors_come_back(self):
        shift = dutygate.CreateObject("Dutygate.clsShiftClass")

        class Failing:
            def eventSetClass(self, *args):
                shift.close()  # releases the object inside its own event
                raise ValueError("from the handler")

        dutygate.WithEvents(shift, Failing())
        with self.assertRaises(ValueError):
            shift.ShiftClass()


if __name__ == "__main__":
    unittest.main()
