#pragma once
// Module-wide state of Dutygate.dll: its handle and path, the count that
// DllCanUnloadNow reads, and its own type library.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "base/utf16.h"

namespace dg::component::win32 {

HINSTANCE ModuleHandle() noexcept;
// Full path of Dutygate.dll itself.
std::wstring ModulePath();

// Objects and connection points alive, and server locks held.
void LockModule() noexcept;
void UnlockModule() noexcept;
bool ModuleInUse() noexcept;

// Keeps the DLL loaded for the rest of the process: once it has per-thread
// state, window classes or hooks, a FreeLibrary would pull code from under
// them. DllCanUnloadNow still answers by its counts.
void PinModule() noexcept;

// The type library embedded as resource TYPELIB 1, loaded once.
HRESULT OwnTypeLib(ITypeLib** out) noexcept;
HRESULT OwnTypeInfo(REFGUID guid, ITypeInfo** out) noexcept;

using dg::Wide;  // base/utf16.h

}  // namespace dg::component::win32
