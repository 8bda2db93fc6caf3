#include "access/shared_state.h"

namespace dg::access {
namespace {

thread_local std::string tlsLevel;
thread_local std::string tlsPassword;

}  // namespace

std::string& strLevel() { return tlsLevel; }
std::string& strPassword() { return tlsPassword; }

}  // namespace dg::access
