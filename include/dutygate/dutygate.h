/*
 * Dutygate: the host-facing C interface of libdutygate.so.
 *
 * A host creates the two public classes, clsPassword (operator access
 * control) and clsShiftClass (shift schedule), by ProgID or CLSID, looks up
 * their members by name, invokes them by dispatch identifier and connects
 * sinks for their events. Plain C, usable from C, C++ and any FFI. All
 * strings are UTF-8. No C++ exception ever leaves these functions.
 *
 * Threads: every object belongs to the thread that created it; any call on it
 * from another thread gives DG_E_WRONG_THREAD. dg_add_ref and dg_release work
 * from any thread. When the last reference goes on another thread, the
 * object's termination is handed to its own thread and runs there at that
 * thread's next call into this interface (any dg_* call that takes an object
 * or creates one, or dg_process_events), or when that thread ends, whichever
 * comes first. When a thread ends, the objects it still owns are terminated
 * there; their remaining references only give DG_E_WRONG_THREAD afterwards.
 */
#ifndef DUTYGATE_DUTYGATE_H
#define DUTYGATE_DUTYGATE_H

#include <stdint.h>

#include <dutygate/dutygate_commands.h>
#include <dutygate/dutygate_version.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(DUTYGATE_BUILDING_LIBRARY)
#define DG_API __attribute__((visibility("default")))
#else
#define DG_API
#endif

typedef int32_t dg_status;                  /* automation status values: 0 S_OK, 1 S_FALSE, negative = failure */
typedef struct dg_object dg_object;         /* one reference-counted instance of a public class */
typedef struct dg_class_factory dg_class_factory;
typedef struct dg_guid { uint32_t data1; uint16_t data2; uint16_t data3; uint8_t data4[8]; } dg_guid;

enum { DG_VT_EMPTY = 0, DG_VT_I2 = 2, DG_VT_I4 = 3, DG_VT_DATE = 7, DG_VT_BSTR = 8, DG_VT_BOOL = 11 };
typedef struct dg_variant {
    uint16_t vt;
    union { int16_t i2; int32_t i4; double date; const char *bstr; int16_t boolean; } u;
} dg_variant;                               /* bstr belongs to whoever passes it and lives for the call */

/* Receives every event of the object it is connected to, synchronously on the
 * object's thread: dispid 1, the event's name ("BackAdmin", "eventSetClass")
 * and its arguments in order. The arguments and their strings live for the
 * call only. A sink may unadvise itself, release the object or call it again
 * from inside the callback. */
typedef void (*dg_event_sink)(void *context, int32_t dispid, const char *event_name,
                              const dg_variant *args, uint32_t argc);

/* Conventions of every function below:
 * - A dg_status result is DG_S_OK (0) on success and negative on failure; a
 *   failure also sets this thread's dg_last_error() text.
 * - A dg_object pointer that the library hands out carries one reference,
 *   which the caller gives back with dg_release.
 * - Texts that the library returns (const char *) are UTF-8, owned by the
 *   library and never NULL; the caller must not free them.
 * - A NULL where the library expects an object, a text or an output pointer
 *   gives DG_E_POINTER (a NULL object in dg_add_ref and dg_release: 0). */

/* Creates an object by ProgID ("Dutygate.clsPassword", "Dutygate.clsShiftClass")
 * or by CLSID ("{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"). On success *out gets
 * the new object with one reference; on failure *out is NULL
 * (DG_E_INVALID_CLASS_STRING for an unknown ProgID, DG_E_CLASS_NOT_REGISTERED
 * for an unknown CLSID, or the failure of the class's own start, such as a
 * database that cannot be opened). */
DG_API dg_status   dg_create_object(const char *progid_or_clsid, dg_object **out);
/* This thread's implicit instance of "clsPassword" or "clsShiftClass",
 * created on first use and kept until the thread ends. *out gets a new
 * reference to it, which the caller releases; DG_E_UNKNOWN_NAME for another
 * class name. */
DG_API dg_status   dg_get_predeclared(const char *class_name, dg_object **out);
/* The dispatch identifier of a member, looked up by name ignoring case;
 * DG_E_UNKNOWN_NAME when the object's class has no such member. */
DG_API dg_status   dg_get_dispid(dg_object *obj, const char *member_name, int32_t *dispid);
/* Calls a member by dispatch identifier. No member takes arguments: argc
 * other than 0 gives DG_E_BAD_PARAM_COUNT (args may be NULL when argc is 0).
 * *result, when result is not NULL, gets the member's result: always
 * DG_VT_EMPTY. Events that the call causes reach the sinks before it returns.
 * An unknown dispid gives DG_E_MEMBER_NOT_FOUND. */
DG_API dg_status   dg_invoke(dg_object *obj, int32_t dispid, const dg_variant *args, uint32_t argc,
                             dg_variant *result);
/* Connects a sink (not NULL) with a context pointer that is passed back
 * untouched; *cookie gets the connection's number, never 0. The library does
 * not own the context. */
DG_API dg_status   dg_advise(dg_object *obj, dg_event_sink sink, void *context, uint32_t *cookie);
/* Disconnects the sink of that cookie; DG_E_NO_CONNECTION for a cookie that
 * names no connection of this object. */
DG_API dg_status   dg_unadvise(dg_object *obj, uint32_t cookie);
/* Add and give back a reference; both return the new count (0 for NULL).
 * Releasing the last reference ends the object (see Threads above). */
DG_API uint32_t    dg_add_ref(dg_object *obj);
DG_API uint32_t    dg_release(dg_object *obj);
/* Description of this thread's last failure, "" if none; it stays until the
 * next failure on this thread replaces it. A Chinese sentence that says what
 * failed comes first, then a full-width colon and the detail (names, the
 * engine's or the system's own text, codes). */
DG_API const char *dg_last_error(void);
/* The standard description of a status value, Chinese first
 * ("未知的名称：Unknown name." for DG_E_UNKNOWN_NAME), "" for a status that
 * has none. */
DG_API const char *dg_status_text(dg_status status);
/* Whether the dialogs can open a window in this process, judged from the
 * environment before any GUI application exists (Qt ends a process whose
 * platform cannot start, so a Qt host asks before it makes its QApplication).
 * Returns 1 when they can, 0 when not. When platform is not NULL, *platform is
 * the Qt platform that passed ("xcb", "wayland"), or "" for QT_QPA_PLATFORM's
 * own choice; when why is not NULL, *why says what is missing ("" when 1 is
 * returned). Both strings belong to the library and stay valid until the next
 * call on this thread. */
DG_API int         dg_display_check(const char **platform, const char **why);
/* Runs pending dialog events for up to max_ms milliseconds (0: only those
 * pending now), for hosts without a Qt loop. Returns the number of dialog
 * windows still open, or -1 when no GUI runs on this thread. */
DG_API int         dg_process_events(int max_ms);
/* The interface description as JSON: the library, its classes, interfaces,
 * members with dispatch identifiers and events. */
DG_API const char *dg_type_library(void);
/* The library's version, "1.00.0015": the DG_VERSION it was built with. */
DG_API const char *dg_version(void);

/* The standard in-process server entry points. Registration writes
 * $XDG_DATA_HOME/dutygate/registry.json, or ~/.local/share/dutygate/registry.json.
 * DllGetClassObject hands out a class factory (release it with
 * dg_factory_release); DllCanUnloadNow gives DG_S_OK when no object and no
 * factory lock remain, DG_S_FALSE otherwise. On Windows, <ole2.h> declares
 * these four with its own types, and Dutygate.dll exports them. */
#if !defined(_WIN32)
DG_API dg_status DllRegisterServer(void);
DG_API dg_status DllUnregisterServer(void);
DG_API dg_status DllGetClassObject(const dg_guid *clsid, const dg_guid *iid, void **out);
DG_API dg_status DllCanUnloadNow(void);
#endif
/* A class factory's members: a new object (as dg_create_object gives it),
 * a lock that keeps the library loaded (lock non-zero takes one, 0 gives one
 * back, DG_E_UNEXPECTED when none is held), and the factory's own reference
 * count. */
DG_API dg_status dg_factory_create_instance(dg_class_factory *factory, dg_object **out);
DG_API dg_status dg_factory_lock_server(dg_class_factory *factory, int lock);
DG_API uint32_t  dg_factory_add_ref(dg_class_factory *factory);
DG_API uint32_t  dg_factory_release(dg_class_factory *factory);
/* JSON: ProductName, FileName, FileVersion, ProductVersion, their numeric
 * forms, Language, CodePage, OLESelfRegister. */
DG_API const char *dg_version_record(void);

/* ---- Status values ---- */
#define DG_S_OK                   ((dg_status)0)
#define DG_S_FALSE                ((dg_status)1)
#define DG_E_UNEXPECTED           ((dg_status)0x8000FFFF)
#define DG_E_NOINTERFACE          ((dg_status)0x80004002)
#define DG_E_POINTER              ((dg_status)0x80004003)
#define DG_E_FAIL                 ((dg_status)0x80004005)
#define DG_E_OUTOFMEMORY          ((dg_status)0x8007000E)
#define DG_E_INVALIDARG           ((dg_status)0x80070057)
#define DG_E_UNKNOWN_NAME         ((dg_status)0x80020006) /* DISP_E_UNKNOWNNAME */
#define DG_E_MEMBER_NOT_FOUND     ((dg_status)0x80020003) /* DISP_E_MEMBERNOTFOUND */
#define DG_E_BAD_PARAM_COUNT      ((dg_status)0x8002000E) /* DISP_E_BADPARAMCOUNT */
#define DG_E_INVALID_CLASS_STRING ((dg_status)0x800401F3) /* CO_E_CLASSSTRING */
#define DG_E_CLASS_NOT_REGISTERED ((dg_status)0x80040154) /* REGDB_E_CLASSNOTREG */
#define DG_E_CLASS_NOT_AVAILABLE  ((dg_status)0x80040111) /* CLASS_E_CLASSNOTAVAILABLE */
#define DG_E_NO_CONNECTION        ((dg_status)0x80040200) /* CONNECT_E_NOCONNECTION */
#define DG_E_SELFREG_CLASS        ((dg_status)0x80040201) /* SELFREG_E_CLASS */
#define DG_E_WRONG_THREAD         ((dg_status)0x8001010E) /* RPC_E_WRONG_THREAD */
#define DG_E_TYPE_MISMATCH        ((dg_status)0x800A000D) /* shift calculation */
#define DG_E_OVERFLOW             ((dg_status)0x800A0006)
#define DG_E_OUT_OF_RANGE         ((dg_status)0x800A0009)

/* ---- Dispatch identifiers ---- */
#define DG_DISPID_SHOWDIALOG    ((int32_t)0x60030003)
#define DG_DISPID_SHOWREVISE    ((int32_t)0x60030004)
#define DG_DISPID_SHOWLANDING   ((int32_t)0x60030005)
#define DG_DISPID_SHOWSETCLASS  ((int32_t)0x6003000D)
#define DG_DISPID_SHIFTCLASS    ((int32_t)0x60030011)
#define DG_DISPID_EVENT         ((int32_t)1)  /* BackAdmin, eventSetClass */

/* ---- Identifiers (fixed; hosts built against them rely on them) ---- */
#define DG_PROGID_CLSPASSWORD   "Dutygate.clsPassword"
#define DG_PROGID_CLSSHIFTCLASS "Dutygate.clsShiftClass"

#define DG_LIBID_DUTYGATE_STRING        "{93AE70B7-8177-448B-961F-E48753C1C282}"
#define DG_CLSID_CLSPASSWORD_STRING     "{4C8BE658-78E0-400E-B0C7-BC6C35919C1A}"
#define DG_CLSID_CLSSHIFTCLASS_STRING   "{4B320797-D4D2-4613-B1D0-788E0DCCC026}"
#define DG_IID_CLSPASSWORD_STRING       "{330DF2A0-7921-45CB-B8D0-BE8A0706DB98}" /* _clsPassword */
#define DG_IID_CLSSHIFTCLASS_STRING     "{337FA4D7-EAE6-4A37-B00F-442EAFFD45BE}" /* _clsShiftClass */
#define DG_DIID_CLSPASSWORD_STRING      "{FDF2E443-278D-40BE-8A92-C77551F48038}" /* __clsPassword */
#define DG_DIID_CLSSHIFTCLASS_STRING    "{69D401ED-DAAE-4271-9F83-FCBFF8B0F950}" /* __clsShiftClass */
#define DG_GUID_PROGID_CUSTDATA_STRING  "{69A24E43-13FC-4FC8-A9C3-4684010C3DCE}" /* custom data: ProgID */

static const dg_guid DG_LIBID_Dutygate =
    {0x93AE70B7, 0x8177, 0x448B, {0x96, 0x1F, 0xE4, 0x87, 0x53, 0xC1, 0xC2, 0x82}};
static const dg_guid DG_CLSID_clsPassword =
    {0x4C8BE658, 0x78E0, 0x400E, {0xB0, 0xC7, 0xBC, 0x6C, 0x35, 0x91, 0x9C, 0x1A}};
static const dg_guid DG_CLSID_clsShiftClass =
    {0x4B320797, 0xD4D2, 0x4613, {0xB1, 0xD0, 0x78, 0x8E, 0x0D, 0xCC, 0xC0, 0x26}};
static const dg_guid DG_IID__clsPassword =
    {0x330DF2A0, 0x7921, 0x45CB, {0xB8, 0xD0, 0xBE, 0x8A, 0x07, 0x06, 0xDB, 0x98}};
static const dg_guid DG_IID__clsShiftClass =
    {0x337FA4D7, 0xEAE6, 0x4A37, {0xB0, 0x0F, 0x44, 0x2E, 0xAF, 0xFD, 0x45, 0xBE}};
static const dg_guid DG_DIID___clsPassword =
    {0xFDF2E443, 0x278D, 0x40BE, {0x8A, 0x92, 0xC7, 0x75, 0x51, 0xF4, 0x80, 0x38}};
static const dg_guid DG_DIID___clsShiftClass =
    {0x69D401ED, 0xDAAE, 0x4271, {0x9F, 0x83, 0xFC, 0xBF, 0xF8, 0xB0, 0xF9, 0x50}};
static const dg_guid DG_GUID_ProgIdCustomData =
    {0x69A24E43, 0x13FC, 0x4FC8, {0xA9, 0xC3, 0x46, 0x84, 0x01, 0x0C, 0x3D, 0xCE}};

/* The standard interfaces DllGetClassObject accepts. */
static const dg_guid DG_IID_IUnknown =
    {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const dg_guid DG_IID_IClassFactory =
    {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

#ifdef __cplusplus
}
#endif

#endif /* DUTYGATE_DUTYGATE_H */
