#pragma once
// The headers that include this one are ui/'s own: its toolkit state and
// hooks, shared by ui/'s sources and its test driver (ui_testing/). Both build
// with the dg_ui_internals target, which defines DG_UI_INTERNALS; the other
// layers use ui/'s public headers only.
#ifndef DG_UI_INTERNALS
#error "ui/ internal header: only ui/ and the test driver (target dg_ui_internals) include it"
#endif
