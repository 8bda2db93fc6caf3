"""Dutygate for Python: the two public classes of libdutygate.so, late bound.

    import dutygate

    class Handler:
        def eventSetClass(self, iBanzhi, iBanCii, strBanBie, dDateNow):
            print(iBanzhi, iBanCii, strBanBie, dDateNow)

    shift = dutygate.CreateObject("Dutygate.clsShiftClass")
    dutygate.WithEvents(shift, Handler())
    shift.ShiftClass()          # returns None; a due change arrives as an event

The library comes from the `library` argument, else from the environment
variable DUTYGATE_LIBRARY, else from the registration file that
DllRegisterServer writes ($XDG_DATA_HOME/dutygate/registry.json or
~/.local/share/dutygate/registry.json).

Texts are taken as str only (bytes raise TypeError), integers within 32 bits
(OverflowError), paths as os.fspath() reads them.

Objects follow the library's thread rule: use one on the thread that created
it. Failures raise DutygateError with the status and the library's
description. An exception raised by an event handler is re-raised from the
call during which the event arrived.
"""

import ctypes
import datetime
import json
import os
import threading

from . import _native

__all__ = [
    "CreateObject",
    "GetPredeclared",
    "WithEvents",
    "ProcessEvents",
    "RegisterServer",
    "UnregisterServer",
    "TypeLibrary",
    "Version",
    "VersionRecord",
    "DutygateError",
    "UnknownMemberError",
    "registry_path",
    "find_library",
]

S_OK = 0
DISP_E_UNKNOWNNAME = 0x80020006
CO_E_CLASSSTRING = 0x800401F3
REGDB_E_CLASSNOTREG = 0x80040154

_DATE_ZERO = datetime.datetime(1899, 12, 30)


class DutygateError(Exception):
    """A failed call: `status` (unsigned 32-bit, e.g. 0x8002000E) and `description`."""

    def __init__(self, status, description):
        self.status = status & 0xFFFFFFFF
        self.description = description
        super().__init__("0x%08X: %s" % (self.status, description))


class UnknownMemberError(DutygateError, AttributeError):
    """A member name the object does not have (DISP_E_UNKNOWNNAME)."""


def _check(lib, status, error_class=DutygateError):
    if status < 0:
        raise error_class(status, lib.dg_last_error().decode("utf-8", "replace"))
    return status


# ---- values taken from Python ----
#
# Every value the binding takes from Python goes through one of these, so that
# each kind follows one rule wherever it is taken:
#   text     a str only, given to the library as UTF-8 (bytes are refused:
#            their encoding is unknown);
#   integer  what int() reads, within the library's 32 bits (ctypes would cut
#            a larger one silently);
#   path     what os.fspath() reads: str, bytes or a path object.

def _refuse(value, error=TypeError, why=""):
    raise error("不能把这个值传给 Dutygate：%r%s" % (value, why))


def _text(value):
    if not isinstance(value, str):
        _refuse(value)
    return value


def _utf8(value):
    return _text(value).encode("utf-8")


def _integer(value):
    number = int(value)
    if not -0x80000000 <= number <= 0x7FFFFFFF:
        _refuse(value, OverflowError, "（超出 32 位整数的范围）")
    return number


def _path(value):
    return os.fspath(value)


# ---- finding the library ----

def registry_path():
    """Where DllRegisterServer records the library."""
    base = os.environ.get("XDG_DATA_HOME", "")
    if not os.path.isabs(base):
        base = os.path.join(os.path.expanduser("~"), ".local", "share")
    return os.path.join(base, "dutygate", "registry.json")


def find_library(progid_or_clsid=None, library=None):
    """The path of the library to load for `progid_or_clsid`."""
    name = _text("" if progid_or_clsid is None else progid_or_clsid) or "Dutygate.clsShiftClass"
    if library:
        return _path(library)
    from_env = os.environ.get("DUTYGATE_LIBRARY")
    if from_env:
        return _path(from_env)
    path = registry_path()
    try:
        with open(path, encoding="utf-8") as f:
            registry = json.load(f)
    except FileNotFoundError:
        raise DutygateError(REGDB_E_CLASSNOTREG, "没有指定库文件，也没有注册文件：" + path)
    except (OSError, ValueError) as e:
        raise DutygateError(REGDB_E_CLASSNOTREG, "无法读取注册文件“%s”：%s" % (path, e))
    classes = registry.get("CLSID", {}) if isinstance(registry, dict) else {}
    if name.startswith("{"):
        clsid = name.upper()
    else:
        progids = {k.lower(): v for k, v in registry.get("ProgID", {}).items()}
        entry = progids.get(name.lower())
        if not isinstance(entry, dict) or "CLSID" not in entry:
            raise DutygateError(CO_E_CLASSSTRING, "“%s”没有在注册文件中注册：%s" % (name, path))
        clsid = entry["CLSID"].upper()
    entry = classes.get(clsid)
    if not isinstance(entry, dict) or not entry.get("InprocServer32"):
        raise DutygateError(REGDB_E_CLASSNOTREG, "类 %s 没有在注册文件中注册：%s" % (clsid, path))
    return _path(entry["InprocServer32"])


def _library(progid_or_clsid=None, library=None):
    return _native.load(find_library(progid_or_clsid, library))


# ---- values ----

def _to_python(variant):
    vt = variant.vt
    if vt == _native.VT_EMPTY:
        return None
    if vt == _native.VT_I2:
        return variant.u.i2
    if vt == _native.VT_I4:
        return variant.u.i4
    if vt == _native.VT_BOOL:
        return variant.u.boolean != 0
    if vt == _native.VT_BSTR:
        raw = variant.u.bstr
        return raw.decode("utf-8") if raw is not None else ""
    if vt == _native.VT_DATE:
        days = variant.u.date
        moment = _DATE_ZERO + datetime.timedelta(days=days)
        return moment.date() if days == int(days) else moment
    raise TypeError("这种变体类型没有对应的 Python 值：VARTYPE %d" % vt)


def _to_variant(value, keep):
    v = _native.Variant()
    if isinstance(value, bool):
        v.vt, v.u.boolean = _native.VT_BOOL, -1 if value else 0
    elif isinstance(value, int):
        number = _integer(value)
        if -32768 <= number <= 32767:
            v.vt, v.u.i2 = _native.VT_I2, number
        else:
            v.vt, v.u.i4 = _native.VT_I4, number
    elif isinstance(value, str):
        raw = _utf8(value)
        keep.append(raw)
        v.vt, v.u.bstr = _native.VT_BSTR, raw
    elif isinstance(value, datetime.datetime):
        v.vt, v.u.date = _native.VT_DATE, (value - _DATE_ZERO) / datetime.timedelta(days=1)
    elif isinstance(value, datetime.date):
        v.vt, v.u.date = _native.VT_DATE, float((value - _DATE_ZERO.date()).days)
    elif isinstance(value, float):
        v.vt, v.u.date = _native.VT_DATE, value
    else:
        _refuse(value)
    return v


# ---- errors raised inside event handlers ----

_handler_errors = threading.local()


def _raise_handler_error():
    error = getattr(_handler_errors, "error", None)
    if error is not None:
        _handler_errors.error = None
        raise error


# ---- objects ----

class Object:
    """One reference to a clsPassword or clsShiftClass object."""

    def __init__(self, lib, handle):
        self._lib = lib
        self._handle = handle
        self._dispids = {}
        self._connections = []

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        dispid = self._dispid(name)

        def method(*args):
            return self._invoke(dispid, args)

        method.__name__ = name
        return method

    def _dispid(self, name):
        raw = _utf8(name)
        key = name.lower()
        dispid = self._dispids.get(key)
        if dispid is None:
            out = ctypes.c_int32()
            _check(self._lib, self._lib.dg_get_dispid(self._live(), raw, ctypes.byref(out)),
                   UnknownMemberError)
            dispid = self._dispids[key] = out.value
        return dispid

    def _invoke(self, dispid, args):
        keep = []
        array = (_native.Variant * max(len(args), 1))(*[_to_variant(a, keep) for a in args])
        result = _native.Variant()
        _handler_errors.error = None
        status = self._lib.dg_invoke(self._live(), dispid, array if args else None, len(args), ctypes.byref(result))
        _check(self._lib, status)
        _raise_handler_error()
        return _to_python(result)

    def _live(self):
        if self._handle is None:
            raise DutygateError(0x80004003, "对象已经释放，不能再调用")
        return self._handle

    def close(self):
        """Disconnects every event handler and releases the reference."""
        for connection in list(self._connections):
            connection.disconnect()
        handle, self._handle = self._handle, None
        if handle is not None:
            self._lib.dg_release(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            handle, self._handle = self._handle, None
            if handle is not None:
                self._lib.dg_release(handle)
        except Exception:
            pass


class Connection:
    """An event connection made by WithEvents; `handler` receives the events."""

    def __init__(self, obj, handler):
        self.obj = obj
        self.handler = handler
        self._cookie = 0

        def sink(context, dispid, event_name, args, argc):
            try:
                name = event_name.decode("utf-8")
                values = [_to_python(args[i]) for i in range(argc)]
                method = getattr(self.handler, name, None) or getattr(self.handler, "On" + name, None)
                if method is not None:
                    method(*values)
            except BaseException as e:  # reported from the call that raised the event
                if getattr(_handler_errors, "error", None) is None:
                    _handler_errors.error = e

        # Kept referenced for as long as the library may call it.
        self._sink = _native.EventSink(sink)
        cookie = ctypes.c_uint32()
        _check(obj._lib, obj._lib.dg_advise(obj._live(), self._sink, None, ctypes.byref(cookie)))
        self._cookie = cookie.value
        obj._connections.append(self)

    @property
    def connected(self):
        return self._cookie != 0

    def disconnect(self):
        if self._cookie == 0:
            return
        cookie, self._cookie = self._cookie, 0
        if self.obj._handle is not None:
            _check(self.obj._lib, self.obj._lib.dg_unadvise(self.obj._handle, cookie))
        if self in self.obj._connections:
            self.obj._connections.remove(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.disconnect()


def CreateObject(progid, library=None):
    """Creates an object by ProgID ("Dutygate.clsShiftClass") or CLSID ("{...}")."""
    raw = _utf8(progid)
    lib = _library(progid, library)
    handle = ctypes.c_void_p()
    _check(lib, lib.dg_create_object(raw, ctypes.byref(handle)))
    return Object(lib, handle.value)


def GetPredeclared(class_name, library=None):
    """A reference to this thread's implicit instance ("clsPassword", "clsShiftClass")."""
    raw = _utf8(class_name)
    lib = _library("Dutygate." + class_name, library)
    handle = ctypes.c_void_p()
    _check(lib, lib.dg_get_predeclared(raw, ctypes.byref(handle)))
    return Object(lib, handle.value)


def WithEvents(obj, handler):
    """Connects `handler` (an instance, or a class to instantiate): its methods
    named like the events (BackAdmin, eventSetClass; or OnBackAdmin, ...) are
    called with Python values (int, str, datetime.date). Returns the
    Connection, which stays connected until disconnect() or obj.close()."""
    if isinstance(handler, type):
        handler = handler()
    return Connection(obj, handler)


def ProcessEvents(max_ms=0, library=None):
    """Runs pending dialog events; returns the number of dialog windows open, or -1 without a GUI."""
    max_ms = _integer(max_ms)
    lib = _library(None, library)
    _handler_errors.error = None
    open_windows = lib.dg_process_events(max_ms)
    _raise_handler_error()
    return open_windows


def RegisterServer(library=None):
    lib = _library(None, library)
    _check(lib, lib.DllRegisterServer())


def UnregisterServer(library=None):
    lib = _library(None, library)
    _check(lib, lib.DllUnregisterServer())


def TypeLibrary(library=None):
    """The interface description as a dict."""
    return json.loads(_library(None, library).dg_type_library().decode("utf-8"))


def VersionRecord(library=None):
    return json.loads(_library(None, library).dg_version_record().decode("utf-8"))


def Version(library=None):
    return _library(None, library).dg_version().decode("utf-8")
