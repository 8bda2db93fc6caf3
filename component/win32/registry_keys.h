#pragma once
// Self-registration of Dutygate.dll: the class keys, the ProgIDs and the
// embedded type library, for the machine or for the current user.
//
// The x86 and the x64 DLL may be registered side by side. Their CLSID and
// Interface keys live in separate registry views; the ProgID keys and the
// type library's key are shared, with a win32 or win64 subkey each.
// Unregistering one bitness removes its own keys, the ProgIDs only when the
// other view has no InprocServer32 for the class, and the type library only
// when the other bitness no longer registers it. A registration that fails
// part way takes back what it wrote.
#include <windows.h>

namespace dg::component::win32 {

enum class Scope { Machine, User };

HRESULT Register(Scope scope) noexcept;
HRESULT Unregister(Scope scope) noexcept;

}  // namespace dg::component::win32
