"""ctypes declarations of libdutygate's C interface (include/dutygate/dutygate.h)."""

import ctypes
import os
import threading

VT_EMPTY = 0
VT_I2 = 2
VT_I4 = 3
VT_DATE = 7
VT_BSTR = 8
VT_BOOL = 11


class _VariantValue(ctypes.Union):
    _fields_ = [
        ("i2", ctypes.c_int16),
        ("i4", ctypes.c_int32),
        ("date", ctypes.c_double),
        ("bstr", ctypes.c_char_p),
        ("boolean", ctypes.c_int16),
    ]


class Variant(ctypes.Structure):
    _fields_ = [("vt", ctypes.c_uint16), ("u", _VariantValue)]


class Guid(ctypes.Structure):
    _fields_ = [
        ("data1", ctypes.c_uint32),
        ("data2", ctypes.c_uint16),
        ("data3", ctypes.c_uint16),
        ("data4", ctypes.c_uint8 * 8),
    ]


EventSink = ctypes.CFUNCTYPE(
    None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p, ctypes.POINTER(Variant), ctypes.c_uint32
)

_status = ctypes.c_int32
_obj = ctypes.c_void_p

_SIGNATURES = {
    "dg_create_object": (_status, [ctypes.c_char_p, ctypes.POINTER(_obj)]),
    "dg_get_predeclared": (_status, [ctypes.c_char_p, ctypes.POINTER(_obj)]),
    "dg_get_dispid": (_status, [_obj, ctypes.c_char_p, ctypes.POINTER(ctypes.c_int32)]),
    "dg_invoke": (_status, [_obj, ctypes.c_int32, ctypes.POINTER(Variant), ctypes.c_uint32, ctypes.POINTER(Variant)]),
    "dg_advise": (_status, [_obj, EventSink, ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint32)]),
    "dg_unadvise": (_status, [_obj, ctypes.c_uint32]),
    "dg_add_ref": (ctypes.c_uint32, [_obj]),
    "dg_release": (ctypes.c_uint32, [_obj]),
    "dg_last_error": (ctypes.c_char_p, []),
    "dg_status_text": (ctypes.c_char_p, [_status]),
    "dg_display_check": (ctypes.c_int, [ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_char_p)]),
    "dg_process_events": (ctypes.c_int, [ctypes.c_int]),
    "dg_type_library": (ctypes.c_char_p, []),
    "dg_version": (ctypes.c_char_p, []),
    "dg_version_record": (ctypes.c_char_p, []),
    "DllRegisterServer": (_status, []),
    "DllUnregisterServer": (_status, []),
    "DllGetClassObject": (_status, [ctypes.POINTER(Guid), ctypes.POINTER(Guid), ctypes.POINTER(ctypes.c_void_p)]),
    "DllCanUnloadNow": (_status, []),
    "dg_factory_create_instance": (_status, [ctypes.c_void_p, ctypes.POINTER(_obj)]),
    "dg_factory_lock_server": (_status, [ctypes.c_void_p, ctypes.c_int]),
    "dg_factory_add_ref": (ctypes.c_uint32, [ctypes.c_void_p]),
    "dg_factory_release": (ctypes.c_uint32, [ctypes.c_void_p]),
}

_loaded = {}
_loaded_lock = threading.Lock()


def load(path):
    """The library at `path`, loaded once per file and declared."""
    key = os.path.realpath(path)
    with _loaded_lock:
        lib = _loaded.get(key)
        if lib is None:
            lib = ctypes.CDLL(path)
            for name, (restype, argtypes) in _SIGNATURES.items():
                function = getattr(lib, name)
                function.restype = restype
                function.argtypes = argtypes
            _loaded[key] = lib
        return lib
