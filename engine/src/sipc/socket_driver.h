// The POSIX socket network driver (socket_driver.cpp): the NetDriver table
// over the engine's one connection (sipc/connection.h), which connects
// directly or through the configured proxy (sipc/server_connect.h). The
// wiring hands it to the engine at fx_init.
#pragma once

#include "frame/net_driver.h"

namespace tavrin {

const NetDriver& socket_net_driver();

}  // namespace tavrin
