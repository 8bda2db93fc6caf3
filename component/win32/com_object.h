#pragma once
// The COM objects of Dutygate.dll: one per instance of a public class, over
// the shared object core.
#include <windows.h>

#include "component/core/class_table.h"

namespace dg::component::win32 {

// Creates an object of `cls` on the calling thread (its apartment) and
// returns the interface `iid` of it. Failures come back as their status,
// with IErrorInfo set.
HRESULT CreateComObject(const ClassInfo& cls, REFIID iid, void** out) noexcept;

// Records `status` and this thread's last failure description as the
// thread's IErrorInfo, for the default interface of `cls` with its ProgID as
// the source, and returns `status`.
HRESULT ReportError(HRESULT status, const ClassInfo& cls) noexcept;

}  // namespace dg::component::win32
