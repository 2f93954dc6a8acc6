// The connection options as the engine takes them: SIP domain, navigation
// server, sign-in server, SIP-C proxy (or navigation), HTTP or SOCKS5 proxy
// and the login status, set through the public interface after fx_init.
// The login and the doctor both start from here, so they read the options
// alike. Main thread.
#pragma once

#include <string>

#include "options.h"

namespace tavrin::cli {

// False with the reason ("unusable --domain") when the engine refuses one.
bool apply_connection_options(const Options& options, std::string* error);

}  // namespace tavrin::cli
