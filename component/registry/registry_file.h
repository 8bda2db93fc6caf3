#pragma once
// Self-registration in the per-user registration file
// ($XDG_DATA_HOME/dutygate/registry.json, or ~/.local/share/dutygate/registry.json).
//
// The file mirrors the automation registry's layout:
//   "CLSID":     { "{clsid}": { "Name", "ProgID", "InprocServer32" (absolute
//                  path of the library file), "ThreadingModel": "Apartment",
//                  "TypeLib": "{libid}", "Version": "3.0" } }
//   "ProgID":    { "Dutygate.clsPassword": { "CLSID": "{clsid}" } }
//   "TypeLib":   { "{libid}": { "3.0": { "Name", "LCID", "Path" } } }
//   "Interface": { "{iid}": { "Name", "TypeLib": "{libid}", "Version": "3.0" } }
// Other entries in the file are kept as they are.
#include <filesystem>
#include <string>

#include "dutygate/dutygate.h"

namespace dg::component {

// Writes this library's entries (replacing older ones with the same keys).
dg_status RegisterServer();
// Removes the entries that RegisterServer of this same library file wrote,
// and the file (and its folder) when nothing else is left in them.
dg_status UnregisterServer();

// Throws std::runtime_error when no home folder can be found.
std::filesystem::path RegistryFilePath();
// Absolute path of the file this code was loaded from.
std::string LibraryFilePath();

}  // namespace dg::component
