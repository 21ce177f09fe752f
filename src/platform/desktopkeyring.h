#pragma once

#include "platform/keyring.h"

#include <memory>

namespace krtp {

// The desktop's keyring through QtKeychain (the Secret Service of GNOME and others, KWallet), or
// null when this build has no keyring support or no session bus is there to reach one: then the
// saved password stays in the owner-only settings file.
std::unique_ptr<Keyring> CreateDesktopKeyring();

// The service name the program's secrets are filed under.
inline constexpr char kKeyringService[] = "KRtp";

} // namespace krtp
