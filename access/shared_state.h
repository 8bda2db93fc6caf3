#pragma once
// The two access texts shared by every access dialog of every clsPassword on
// the calling thread. Each thread has its own pair; both start empty.
#include <string>

namespace dg::access {

// The user level name in hand: written by the login dialog only.
std::string& strLevel();
// The password in hand: written by the login and change-password dialogs.
std::string& strPassword();

}  // namespace dg::access
