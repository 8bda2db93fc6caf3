#pragma once
// The registry entries that register one class of Dutygate.dll, as data.
// registry_rows.h turns them into rows, which the DLL's own registration
// (component/win32/registry_keys.cpp) writes and the build-time writer of
// the installer fragment (wix_writer.cpp) prints as Windows Installer
// registry rows, so that a DLL installed by a package and one registered by
// regsvr32 leave the same keys. Plain values only: it builds on Linux too.
#include <cstddef>

namespace dg::component {

// Where an entry hangs: CLSID\{clsid}, one per registry view, or the ProgID
// key, which both views share.
enum class KeyRoot { kClass, kProgId };
// What an entry holds.
enum class Content { kNone, kProgId, kServerPath, kApartment, kLibId, kLibVersion, kClsid };

struct KeySpec {
    KeyRoot root;
    const char* subkey;  // "" for the root itself, else "\\InprocServer32" and so on
    const char* value;   // nullptr for the key's default value
    Content content;     // kNone: the key alone, with no value
};

inline constexpr KeySpec kClassKeys[] = {
    {KeyRoot::kClass, "", nullptr, Content::kProgId},
    {KeyRoot::kClass, "\\InprocServer32", nullptr, Content::kServerPath},
    {KeyRoot::kClass, "\\InprocServer32", "ThreadingModel", Content::kApartment},
    {KeyRoot::kClass, "\\ProgID", nullptr, Content::kProgId},
    {KeyRoot::kClass, "\\VersionIndependentProgID", nullptr, Content::kProgId},
    {KeyRoot::kClass, "\\TypeLib", nullptr, Content::kLibId},
    {KeyRoot::kClass, "\\VERSION", nullptr, Content::kLibVersion},
    {KeyRoot::kClass, "\\Programmable", nullptr, Content::kNone},
    {KeyRoot::kProgId, "", nullptr, Content::kProgId},
    {KeyRoot::kProgId, "\\CLSID", nullptr, Content::kClsid},
};

// The entry whose presence in a view says that a bitness registers the
// class: the one that names the server's file.
constexpr const KeySpec& ServerKey() {
    std::size_t i = 0;
    while (kClassKeys[i].content != Content::kServerPath) ++i;  // past the end: not a constant expression
    return kClassKeys[i];
}
static_assert(ServerKey().root == KeyRoot::kClass, "the server's file is named under the class key");

}  // namespace dg::component
