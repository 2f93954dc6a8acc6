// The engine's wiring: the one place above every layer. fx_init
// (engine_init.cpp) hands each part what it needs of the parts above it,
// then starts the engine with its network driver.
//
// The layers of engine/src, bottom-up; a layer includes only its own folder
// and the layers below it, and everything may include libtavrin.h:
//   frame     the engine record, threads, timers, callbacks and the rule of
//             what a message hands over, the send and message queues, the
//             network-driver table, the fs_ wait
//   sipc      the SIP-C codec, the connection and its socket driver, proxies,
//             the wire and its transactions, commands, the settings stores
//   roster    the user record, the contact store and the XML payloads that
//             fill it (data only: no requests)
//   session   navigation, registration, the login sequence, keep-alive
//   contacts  presence, group chats, contact management, profile, contact
//             requests and file offers, scheduled SMS
//   im        chat dialogs and SMS
//   wiring    this folder
// A lower layer reaches a higher one only through a hook the wiring installs
// (the worker's wire hooks, the wire's request dispatcher, the session hooks,
// the roster's request hooks, the dialogs' file-offer hook).
// tests/engine/check_layers.cmake holds the same order and checks it.
#pragma once

namespace tavrin::wiring {

// Installs every hook; done by fx_init before the engine starts. Also for
// tests that drive the layers without starting the engine's threads.
void connect_parts();

}  // namespace tavrin::wiring
