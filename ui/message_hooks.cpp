#include "ui/message_hooks.h"

namespace dg::ui::detail {
namespace {

MessageHooks g_hooks;

}  // namespace

void SetMessageHooks(const MessageHooks& hooks) { g_hooks = hooks; }
const MessageHooks& InstalledMessageHooks() { return g_hooks; }

}  // namespace dg::ui::detail
