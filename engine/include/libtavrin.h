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

/* The message callback: (code, p1, p2, user data). p1 and p2 are words that
 * carry an integer or a pointer, as the code's row in the message table says. */
typedef void (*fx_msg_cb)(int code, intptr_t p1, intptr_t p2, void* user);

/* Incoming chat line, and the sent-message record of send results (then
 * only contact_id and text are set). Freed with fx_destroy_msg. */
typedef struct fx_msg {
  long contact_id;    /* sender (incoming) or target (sent) */
  char* text;         /* body as received, or the text that was sent */
  char* content_type; /* "C" header of an incoming line, else NULL */
  char* date;         /* "D" header of an incoming line, else NULL */
  long source_id;     /* id from the "SO" header, else 0 */
} fx_msg;

/* Engine-owned singly linked list; a list is its first node, empty is NULL. */
typedef struct fx_list {
  void* data;
  struct fx_list* next;
} fx_list;

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
