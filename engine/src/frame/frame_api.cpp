// Exported frame functions: stop, the system callback, the incoming-message
// queue (fx_init, which wires the layers together, is in wiring/). No
// exception crosses the C interface.
#include <cstdlib>

#include "frame/engine.h"
#include "frame/message_queue.h"
#include "libtavrin.h"

using tavrin::engine;

extern "C" {

FX_API void fx_terminate(void) {
  try {
    engine().terminate();
  } catch (...) {
  }
}

FX_API int fx_close_network(void) {
  try {
    engine().net().close();
  } catch (...) {
  }
  return 1;
}

FX_API void fx_set_system_msg_cb(fx_msg_cb cb, void* user) {
  try {
    engine().callbacks.set_system(cb, user);
  } catch (...) {
  }
}

FX_API fx_msg* fx_get_msg(long contact_id) {
  try {
    return engine().messages.take(contact_id);
  } catch (...) {
    return nullptr;
  }
}

FX_API void fx_destroy_msg(fx_msg* msg) {
  if (!msg) return;
  try {
    engine().messages.released(msg);
  } catch (...) {
    // The record is freed whatever its action did.
  }
  tavrin::free_fx_msg(msg);
}

}  // extern "C"
