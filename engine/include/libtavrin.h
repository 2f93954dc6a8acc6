/*
 * libtavrin — the Tavrin protocol engine's one public interface.
 *
 * Threading contract:
 *   - Every exported function may be called from any one client thread; a
 *     network request only queues work and returns at once (1 queued, 0 a
 *     failed argument check). Its outcome arrives later as a message.
 *   - Messages are delivered by calling a fx_msg_cb on an engine thread (the
 *     worker or the timer thread). A callback must return quickly and must
 *     not wait for the client's user-interface thread.
 *   - fs_* functions wait for their own result; never call them on a thread
 *     that a callback needs.
 *
 * Ownership: a string returned "new" is freed by the caller with free();
 * accessor records stay engine-owned; fx_msg records handed over as final
 * send results or by fx_get_msg are freed with fx_destroy_msg.
 */
#ifndef LIBTAVRIN_H
#define LIBTAVRIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FX_API __attribute__((visibility("default")))

/* ---- Frame: callback, message record, list, message codes ---- */

/* ---- Frame functions ---- */

/* ---- Transport and proxy ---- */

/* ---- Server address and navigation ---- */

/* ---- Engine settings (service values an operator may change) ---- */

/* ---- Login and session ---- */

/* ---- Contact records ---- */

/* ---- Own account accessors ---- */

/* ---- Contact accessors ---- */

/* ---- Own presence and profile ---- */

/* ---- Chat ---- */

/* ---- SMS ---- */

/* ---- Contact management ---- */

/* ---- Contact requests ---- */

/* ---- Scheduled SMS ---- */

/* ---- Chat-text conversion ---- */

#ifdef __cplusplus
}
#endif

#endif /* LIBTAVRIN_H */
