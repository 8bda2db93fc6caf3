#pragma once
// Every registry entry that registering Dutygate.dll leaves, as plain rows:
// the class keys (class_keys.h) and what registering the type library
// records (the Interface keys of each dual and event interface, the TypeLib
// key with its file per locale and platform). The DLL's registration
// (component/win32/registry_keys.cpp) writes the rows it writes itself and
// leaves the rest to the runtime's RegisterTypeLib; the installer fragment's
// writer (component/win32/wix_writer.cpp) prints them all. Keys are under
// the root the registration chooses (HKLM or HKCU), UTF-8, with no
// <windows.h>, so that the rows are checked on Linux too.
#include <optional>
#include <string>
#include <vector>

#include "component/core/class_table.h"
#include "component/core/class_keys.h"

namespace dg::component {

enum class RowBitness { kX86, kX64 };

// The registry view a row lives in: the bitness's own view (CLSID and
// Interface keys, one set per view), or one key that both views share
// (ProgIDs and TypeLib).
enum class RowView { kOwn, kShared };

// Who writes the row when the DLL registers itself: the DLL's own code, or
// the runtime's RegisterTypeLib from the embedded library.
enum class RowWriter { kServer, kTypeLib };

struct RegistryRow {
    RowView view;
    RowWriter writer;
    std::string key;                   // "Software\\Classes\\CLSID\\{...}\\InprocServer32"
    std::optional<std::string> name;   // none: the key's default value
    std::optional<std::string> value;  // none: the key alone, with no value
};

// The library's flags as registering it records them: LIBFLAG_FHASDISKIMAGE,
// which the runtime sets on the library it saves (the build-time writer of
// the fragment checks the built library against it).
inline constexpr unsigned kLibFlags = 0x8;

// The rows one bitness's registration writes, with serverPath as the path
// of its DLL.
std::vector<RegistryRow> BitnessRows(RowBitness bitness, const std::string& serverPath);
// The type library's own values, the same whichever bitness registers it.
std::vector<RegistryRow> CommonRows();

// The keys the rows hang from, for removing them.
std::string ClassRootKey(const ClassInfo& cls, KeyRoot root);  // CLSID\{clsid} or the ProgID key
std::string InterfaceKey(const Guid& iid);
std::string LibKey();         // TypeLib\{libid}
std::string LibVersionKey();  // TypeLib\{libid}\3.0
// The library's file for a locale ("409", and the neutral "0") and platform
// ("win32", "win64").
std::string LibFileKey(unsigned lcid, const char* sysKind);
const char* SysKindName(RowBitness bitness);

// One row as a line of text, for the tests to compare: group (x86, x64,
// common), view (own, shared), writer (server, typelib), key, value name
// ("@" for the default value) and value ("(no value)" for a bare key,
// "(empty)" for an empty string), separated by tabs.
std::string RowLine(const char* group, const RegistryRow& row);

}  // namespace dg::component
