"""The Python binding over libdutygate's C interface."""

import json
import os
import subprocess
import unittest

import dutygate
from support import LIBRARY, WorkingDirTest

EXPORTS = {
    "dg_create_object", "dg_get_predeclared", "dg_get_dispid", "dg_invoke", "dg_advise", "dg_unadvise",
    "dg_add_ref", "dg_release", "dg_last_error", "dg_process_events", "dg_type_library", "dg_version",
    "DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow",
    "dg_factory_create_instance", "dg_factory_lock_server", "dg_factory_add_ref", "dg_factory_release",
    "dg_version_record", "dg_status_text", "dg_display_check",
}


class CallsByName(WorkingDirTest):
    def test_members_by_name_return_none(self):
        shift = dutygate.CreateObject("Dutygate.clsShiftClass")
        self.assertIsNone(shift.ShiftClass())
        self.assertIsNone(shift.shiftclass())
        self.assertEqual(shift._dispid("ShiftClass"), 0x60030011)
        password = dutygate.CreateObject("Dutygate.clsPassword")
        self.assertEqual([password._dispid(n) for n in ("ShowDialog", "ShowRevise", "ShowLanding")],
                         [0x60030003, 0x60030004, 0x60030005])
        self.assertTrue(os.path.isfile(os.path.join("mdb", "Para.mdb")))

    def test_failures_carry_status_and_description(self):
        with self.assertRaises(dutygate.DutygateError) as caught:
            dutygate.CreateObject("Dutygate.clsNothing")
        self.assertEqual(caught.exception.status, 0x800401F3)
        self.assertIn("Dutygate.clsNothing", caught.exception.description)

        shift = dutygate.CreateObject("Dutygate.clsShiftClass")
        with self.assertRaises(AttributeError) as caught:
            shift.ShowDialog
        self.assertEqual(caught.exception.status, 0x80020006)
        self.assertFalse(hasattr(shift, "Nothing"))
        for args in ((1,), ("x", 2)):
            with self.assertRaises(dutygate.DutygateError) as caught:
                shift.ShiftClass(*args)
            self.assertEqual(caught.exception.status, 0x8002000E)
            self.assertEqual(caught.exception.description, "参数个数不正确：Invalid number of parameters.")
        shift.close()
        with self.assertRaises(dutygate.DutygateError):
            shift.ShiftClass()

    def test_every_text_taken_refuses_bytes_and_every_integer_refuses_more_than_32_bits(self):
        shift = dutygate.CreateObject("Dutygate.clsShiftClass")
        for call in (dutygate.CreateObject, dutygate.GetPredeclared, dutygate.find_library, shift._dispid,
                     shift.ShiftClass):
            with self.subTest(call=call), self.assertRaisesRegex(TypeError, "不能把这个值传给 Dutygate：b'x'"):
                call(b"x")
        for call in (dutygate.ProcessEvents, shift.ShiftClass):
            with self.subTest(call=call), self.assertRaises(OverflowError):
                call(2 ** 40)


class RegistrationAndDescription(WorkingDirTest):
    def test_creation_through_the_registration_file(self):
        saved = {k: os.environ.get(k) for k in ("XDG_DATA_HOME", "DUTYGATE_LIBRARY")}
        os.environ["XDG_DATA_HOME"] = os.path.join(self.dir, "data")
        try:
            dutygate.RegisterServer(LIBRARY)
            with open(dutygate.registry_path(), encoding="utf-8") as f:
                registry = json.load(f)
            self.assertEqual(registry["ProgID"]["Dutygate.clsPassword"]["CLSID"],
                             "{4C8BE658-78E0-400E-B0C7-BC6C35919C1A}")
            del os.environ["DUTYGATE_LIBRARY"]
            for name in ("Dutygate.clsShiftClass", "{4B320797-D4D2-4613-B1D0-788E0DCCC026}"):
                self.assertIsNone(dutygate.CreateObject(name).ShiftClass())
            dutygate.UnregisterServer(LIBRARY)
            self.assertFalse(os.path.exists(dutygate.registry_path()))
            with self.assertRaises(dutygate.DutygateError):
                dutygate.CreateObject("Dutygate.clsShiftClass")
        finally:
            for key, value in saved.items():
                if value is None:
                    os.environ.pop(key, None)
                else:
                    os.environ[key] = value

    def test_only_the_interface_names_are_exported(self):
        out = subprocess.run(["nm", "-D", "--defined-only", LIBRARY], check=True, capture_output=True,
                             text=True).stdout
        names = {line.split()[-1].split("@")[0] for line in out.splitlines() if line.strip()}
        self.assertEqual(names, EXPORTS)

    def test_version(self):
        self.assertEqual(dutygate.Version(), "1.00.0015")
        record = dutygate.VersionRecord()
        self.assertEqual((record["ProductName"], record["FileVersion"], record["ProductVersion"]),
                         ("Dutygate", "1.00.0015", "1.00.0015"))
        self.assertEqual(record["FileVersionNumber"], [1, 0, 0, 15])
        self.assertEqual((record["Language"], record["CodePage"], record["OLESelfRegister"]), (0x0409, 1200, ""))


if __name__ == "__main__":
    unittest.main()
