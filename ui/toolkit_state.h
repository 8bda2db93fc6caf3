#pragma once
// The toolkit's ControlState and FormState, for the parts of ui/ that are
// written once (ui/form_core.h) and built against the toolkit in use.
#if defined(_WIN32)
#include "ui/win32/internal.h"
#else
#include "ui/qt/internal.h"
#endif
