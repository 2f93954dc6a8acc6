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

/* Why a connection over TLS failed: p1 of FX_MSG_LOGIN_FAILED. Nothing
 * of the login was sent when one of these comes. */
enum fx_tls_failure {
  FX_TLS_UNTRUSTED = 1, /* the certificate chain is not signed by a trusted CA */
  FX_TLS_NAME = 2,      /* the certificate is for another name or address */
  FX_TLS_HANDSHAKE = 3  /* no TLS handshake (not a TLS port, no common version) */
};

/* Message codes: the first argument of every fx_msg_cb call. "Internal"
 * codes are consumed by the login while it runs. p1/p2 per code as noted. */
enum fx_msg_code {
  FX_MSG_LOGIN_CONNECTED = 1,      /* connected, first registration sent */
  FX_MSG_LOGIN_CHALLENGED = 2,     /* challenge answered, second registration sent */
  FX_MSG_REGISTERED = 3,           /* registration accepted (internal) */
  FX_MSG_LOGIN_WRONG_PASSWORD = 4, /* 401/406, or an id that cannot be resolved */
  FX_MSG_LOGIN_FAILED = 5,         /* no connection, network failure, other status; p1 a FX_TLS_*
                                      reason when TLS failed, else the refusing status (403) or 0 */
  FX_MSG_LOGIN_BAD_REQUEST = 6,    /* 400, or no digest could be built */
  FX_MSG_LOGIN_NOT_FOUND = 7,      /* 404, or an id neither 9 nor 11 long */
  FX_MSG_LOGIN_REGISTERED = 8,     /* registered; fetching the contact list */
  FX_MSG_CONTACTS_LOADED = 9,      /* internal; the client receives 11 */
  FX_MSG_CONTACTS_LOAD_FAILED = 10,
  FX_MSG_LOGIN_CONTACTS_LOADED = 11, /* contact list loaded; fetching presence */
  FX_MSG_PRESENCE_SUBSCRIBED = 12,   /* internal */
  FX_MSG_LOGIN_OK = 14,              /* login complete */
  FX_MSG_CHAT_MESSAGE = 16,          /* p1 body (during the call), p2 sender id */
  FX_MSG_CHAT_MESSAGE_SO = 17,       /* as 16, the line carried "SO" */
  FX_MSG_NUDGE = 19,                 /* p2 sender id */
  FX_MSG_SMS_OK = 32,                /* p1 record (receiver frees), p2 target */
  FX_MSG_SMS_FAILED = 33,            /* p1 record (receiver frees), p2 target */
  FX_MSG_SMS_TIMEOUT = 34,           /* p1 record (engine keeps), p2 target */
  FX_MSG_SMS_REFUSED = 36,           /* 486; p1 record (receiver frees), p2 target */
  FX_MSG_DIALOG_TRYING = 48,         /* p1 dialog call id, p2 contact id */
  FX_MSG_DIALOG_OPEN = 49,           /* p1 dialog call id or 0, p2 contact id */
  FX_MSG_DIALOG_REFUSED = 50,        /* p1 dialog call id, p2 contact id */
  FX_MSG_CHAT_SENT = 52,             /* p1 record (receiver frees), p2 contact id */
  FX_MSG_CHAT_SEND_FAILED = 53,      /* p1 record (receiver frees), p2 contact id */
  FX_MSG_CHAT_SEND_TIMEOUT = 54,     /* p1 record (engine keeps), p2 contact id */
  FX_MSG_STATUS_FIRST = 66,          /* 66..74: a contact's new status code; p2 id */
  FX_MSG_STATUS_LAST = 74,
  FX_MSG_CONTACT_REFUSE_SMS_DAYS = 79, /* p1 days, p2 contact id */
  FX_MSG_CONTACT_CHANGED = 80,         /* p2 contact id */
  FX_MSG_BUDDYLIST_ADDED = 81,
  FX_MSG_BUDDYLIST_ADD_FAILED = 82,
  FX_MSG_BUDDYLIST_DELETED = 84,
  FX_MSG_BUDDYLIST_DELETE_FAILED = 85,
  FX_MSG_BUDDYLIST_RENAMED = 87,
  FX_MSG_BUDDYLIST_RENAME_FAILED = 88,
  FX_MSG_LOCALNAME_SET = 90,
  FX_MSG_LOCALNAME_SET_FAILED = 91,
  FX_MSG_CONTACT_REQUEST = 93, /* p1 description text, p2 requester uri text */
  FX_MSG_ADD_BUDDY_RESULT = 94,
  FX_MSG_SOCKET_ERROR = 97, /* p1 socket error code (10035-style numbers) */
  FX_MSG_DEREGISTERED = 98, /* logged in elsewhere */
  FX_MSG_STATE_SET = 99,
  FX_MSG_STATE_SET_FAILED = 100,
  FX_MSG_STATE_SET_TIMEOUT = 101,
  FX_MSG_IMPRESA_SET = 102,
  FX_MSG_IMPRESA_SET_FAILED = 103,
  FX_MSG_NICKNAME_SET = 104,
  FX_MSG_NICKNAME_SET_FAILED = 105,
  FX_MSG_REFUSE_SMS_DAY_SET = 106,
  FX_MSG_REFUSE_SMS_DAY_SET_FAILED = 107,
  FX_MSG_BLACKLIST_ADDED = 113,
  FX_MSG_BLACKLIST_ADD_FAILED = 114,
  FX_MSG_BLACKLIST_REMOVED = 116,
  FX_MSG_BLACKLIST_REMOVE_FAILED = 117,
  FX_MSG_SCHEDULE_SMS_NOT_STORED = 119,
  FX_MSG_SCHEDULE_SMS_STORED = 120,
  FX_MSG_SCHEDULE_SMS_NOT_DELETED = 122,
  FX_MSG_SCHEDULE_SMS_DELETED = 123,
  FX_MSG_BUDDY_DELETED = 129,
  FX_MSG_BUDDY_DELETE_FAILED = 130,
  FX_MSG_BUDDY_MOVED = 132,
  FX_MSG_BUDDY_MOVE_FAILED = 133,
  FX_MSG_FILE_OFFER = 135,      /* p1 file offer record, p2 sender id */
  FX_MSG_DIALOG_INVITED = 137,  /* p2 inviter id */
  FX_MSG_QUN_LIST_LOADED = 145, /* internal */
  FX_MSG_QUN_LIST_FAILED = 146,
  FX_MSG_QUN_SUBSCRIBED = 147, /* internal; the client receives 14 */
  FX_MSG_QUN_CHAT_SENT = 148,  /* group variants of 52, 54, 53, 32, 34, 33, 36 */
  FX_MSG_QUN_CHAT_SEND_TIMEOUT = 149,
  FX_MSG_QUN_CHAT_SEND_FAILED = 150,
  FX_MSG_QUN_SMS_OK = 151,
  FX_MSG_QUN_SMS_TIMEOUT = 152,
  FX_MSG_QUN_SMS_FAILED = 153,
  FX_MSG_QUN_SMS_REFUSED = 154,
  FX_MSG_NAV_BAD_ID = 241,    /* navigation refused the login id */
  FX_MSG_REGISTER_GONE = 242, /* 410; the engine logs in again (internal) */
  FX_MSG_SCHEDULE_SMS_LIST_OK = 244,
  FX_MSG_SCHEDULE_SMS_LIST_FAILED = 245
};

/* ---- Frame functions ---- */

/* Starts the timer thread, installs the network driver, starts the socket
 * layer and the worker thread. 1 on success, 0 when the network layer
 * cannot start. A second call while running returns 1. */
FX_API int fx_init(void);
/* Stops the worker (after it sent what was queued, at most 1 s), closes the
 * connection, stops the timer thread and frees every timer and record. */
FX_API void fx_terminate(void);
/* Closes the connection to the server; 1 (also when none was open). */
FX_API int fx_close_network(void);
/* Replaces the system callback; a null callback stops event delivery. */
FX_API void fx_set_system_msg_cb(fx_msg_cb cb, void* user);
/* Removes and returns the oldest queued chat line from that sender, or NULL
 * (id 0, nothing queued). The caller frees it with fx_destroy_msg once it
 * has shown or stored the line: the server hears the line's 200 only then,
 * and keeps a line that was never answered for the next login. */
FX_API fx_msg* fx_get_msg(long contact_id);
/* Frees text, content type, date and the record; NULL is ignored. For a
 * line taken with fx_get_msg it first answers the server 200. */
FX_API void fx_destroy_msg(fx_msg* msg);

/* ---- Transport and proxy ---- */

/* Proxy types of fx_proxy.type. */
enum fx_proxy_type {
  FX_PROXY_NONE = 0,     /* connect directly */
  FX_PROXY_HTTP = 1,     /* HTTP CONNECT, Basic authorisation when both credentials are set */
  FX_PROXY_RESERVED = 2, /* accepted; connecting through it fails */
  FX_PROXY_SOCKS5 = 3,   /* SOCKS5, user/password method when both credentials are set */
  FX_PROXY_OTHER = 4     /* accepted; connecting through it fails */
};

/* A proxy description. fx_set_proxy stores a copy with every string
 * duplicated; the record returned by fx_get_proxy is engine-owned. */
typedef struct fx_proxy {
  char* host;      /* dotted IPv4 address */
  char* port;      /* decimal port text */
  char* user_name; /* or NULL */
  char* password;  /* or NULL */
  int type;        /* enum fx_proxy_type */
} fx_proxy;

/* Stores a copy of the proxy and sets proxy-enabled to (type != 0); 0 for
 * NULL, a type above 4, or a missing host or port (settings unchanged). */
FX_API int fx_set_proxy(const fx_proxy* proxy);
/* The stored proxy (engine-owned; valid until the next fx_set_proxy), or NULL. */
FX_API const fx_proxy* fx_get_proxy(void);
FX_API void fx_setProxyEnabled(int flag);
FX_API int fx_proxyEnabled(void);
/* One connection attempt, separate from the engine's connection: directly
 * for NULL or type 0, through the given proxy when host and port are set.
 * 1 when it connects, else 0; posts no message. Blocks up to 15 s for the
 * connect plus 10 s per handshake step. */
FX_API int fx_test_network(const fx_proxy* proxy);

/* ---- Server address and navigation ---- */

/* Sets the SIP-C proxy as "host:port" (split at the first ':'; the port is
 * the digits after it). 0 for NULL, a text without ':', an empty host or a
 * port above 65535. "tls://host:port" speaks SIP-C over TLS there, and
 * "tls://" alone over TLS at the address navigation names; after either,
 * every connection uses TLS (verified against fx_set_ca_file's CAs) and
 * never plain text, until a plain address or fx_set_unknow_serve_address. */
FX_API int fx_set_serve_address(const char* address);
/* A new "host:port" string of the server in use (free it; "tls://host:port"
 * over TLS), or NULL when none is known. */
FX_API char* fx_get_serve_address(void);
/* Forgets the server (and a TLS requirement), so that the next login asks
 * the navigation server. */
FX_API void fx_set_unknow_serve_address(void);

/* ---- Engine settings (service values an operator may change) ---- */

/* The engine never reads the environment: a front end that wants other
 * values than the defaults sets them here, before logging in. Setters
 * return 1, or 0 for a missing or unusable value (nothing changes);
 * getters return a new string (free it). */

/* The service's SIP domain: the target of every request line and part of
 * the login digest. Default "tavrin.local". */
FX_API int fx_set_sip_domain(const char* domain);
FX_API char* fx_get_sip_domain(void);
/* The navigation server, asked with one HTTP POST when no server is known.
 * Default "nav.tavrin.local" port 80. Port 1 to 65535. */
FX_API int fx_set_navigation_address(const char* host, int port);
/* A new "host:port" string of the navigation server. */
FX_API char* fx_get_navigation_address(void);
/* The SIP-C proxy used when no server is known and navigation named none,
 * as "host:port" (a port of 0 means 8080). Default "127.0.0.1:8080". */
FX_API int fx_set_default_serve_address(const char* address);
FX_API char* fx_get_default_serve_address(void);
/* The sign-in server's base address (scheme, host and port), where the
 * client's mobile-number lookup sends its request. Default
 * "https://signin.tavrin.local". */
FX_API int fx_set_signin_address(const char* address);
FX_API char* fx_get_signin_address(void);
/* The PEM file of certificate authorities a TLS connection to the SIP-C
 * server is verified against, instead of the system's store; "" restores
 * the system's store (the default). 0 only for NULL. */
FX_API int fx_set_ca_file(const char* path);
FX_API char* fx_get_ca_file(void);

/* ---- Login and session ---- */

/* Starts a login on the engine's timer thread and returns 1 (0 when a login
 * or a session's keep-alive already runs, or an argument is NULL). The login
 * id is a 9-digit Tavrin number or an 11-digit mobile number. (cb, user)
 * receives 1, 2, 8, 11 and 14 (a re-login: 1, 2, 8, 14), or one failure
 * code: 4, 5, 6, 7, 10, 146 or 241. While the login runs the engine's login
 * interceptor is the system callback; install yours on 14. Group-chat
 * dialog results (48, 49, 50) of the login also reach (cb, user). */
FX_API int fx_login(const char* login_id, const char* password, fx_msg_cb cb, void* user);
/* fx_login, waiting up to 60 s: 1 when the login completed (14), else 0. */
FX_API int fs_login(const char* login_id, const char* password);
/* Logs in again with the stored id and password after a lost connection:
 * clears every timer, dialog and transaction of the old session first. */
FX_API int fx_relogin(fx_msg_cb cb, void* user);
/* Unsubscribes, deregisters and, after 1 s, clears the session's timers,
 * dialogs and transactions. Blocks the caller for that second. */
FX_API void fx_loginout(void);
/* Abandons a login in progress and closes the connection; 1. */
FX_API int fx_cancel_login(void);
/* The status code (66..74) to register with at the next login; it is also
 * the user's state until the server confirms another. */
FX_API void fx_set_login_status(int status);

/* ---- Contact records ---- */

/* The engine's picture of the signed-in user and the contacts. Plain
 * structures, allocated zero-filled and owned by the engine; texts are
 * NUL-terminated UTF-8 as the server sent them, or NULL; integers are 32-bit
 * values; an id is the contact id derived from a uri. Lists are fx_list
 * chains whose data points to the records below.
 *
 * Safety: the engine's worker changes and replaces these records under the
 * contact store lock (fx_lock_contacts below). A record or text reached
 * through the accessors stays valid while the caller holds that lock; without
 * it, only until the engine's next change of the store. */

/* Profile of the user or of a contact: thirty-one fields in this order. */
typedef struct fx_personal_info {
  char* nickname;
  char* impresa; /* mood text */
  int gender;
  char* nation;
  char* province;
  int city;
  int ivr_enabled;
  int portrait_crc;
  int provisioning;
  char* mobile_no;
  char* name;
  char* birth_date;
  int birthday_valid;
  int lunar_animal;
  int horoscope;
  char* profile;
  int blood_type;
  char* occupation;
  char* hobby;
  char* personal_email;
  char* work_email;
  char* other_email;
  int primary_email;
  char* job_title;
  char* home_phone;
  char* work_phone;
  char* other_phone;
  char* company;
  char* company_website;
  int match_enabled;
  int refuse_sms_day; /* from presence, not a profile attribute */
} fx_personal_info;

/* A contact: eleven fields in this order. */
typedef struct fx_account {
  long id;
  char* uri;
  char* local_name;    /* the name the user gave the contact */
  char* buddy_lists;   /* buddy-list id(s) as sent; the first is its group */
  int relation_status; /* 1 accepted, 0 add request unanswered */
  int online_notify;
  int status; /* status code 66..78 */
  int portrait_crc;
  fx_personal_info* personal_info; /* NULL until presence or profile data */
  int kind;                        /* 1 buddy, 2 mobile buddy, 0 the user's own entry */
  char* device_type;               /* e.g. "PC" */
} fx_account;

/* A buddy list. */
typedef struct fx_group {
  int id;
  char* name;
} fx_group;

/* A blacklist entry. */
typedef struct fx_blocked {
  long id;
  char* uri;
  char* local_name;
} fx_blocked;

/* A member of a group chat. */
typedef struct fx_qun_member {
  char* uri;
  long id;
  char* nickname;
  char* oxanickname; /* nickname in the official client */
  int identity;
  int state;
  char* client_type;
} fx_qun_member;

/* Details of a group chat, from group presence. */
typedef struct fx_qun_info {
  char* uri;
  int attributes_version;
  char* name;
  int category;
  char* introduce;
  char* bulletin;
  int portrait_crc;
  fx_list* members; /* of fx_qun_member */
} fx_qun_info;

/* A group chat the user belongs to. */
typedef struct fx_qun {
  long id;
  char* uri;
  int identity;      /* the user's role in the group */
  fx_qun_info* info; /* NULL until group presence arrives */
} fx_qun;

/* A scheduled SMS kept on the server. */
typedef struct fx_schedule_sms {
  int id;
  int version;
  char* send_time;
  char* message;
  fx_list* receivers; /* of fx_account, references into the store */
} fx_schedule_sms;

/* The contact store; replaced whole when a new contact list arrives. */
typedef struct fx_contact_data {
  fx_list* groups;    /* of fx_group, in server order */
  fx_list* accounts;  /* of fx_account, in arrival order; own entry last */
  fx_list* blacklist; /* of fx_blocked */
  fx_list* quns;      /* of fx_qun */
  int account_count;  /* additions so far, never decremented */
} fx_contact_data;

/* The signed-in user; one per engine. */
typedef struct fx_user {
  char* uid;
  long user_id; /* uid as a base-10 number */
  char* password;
  char* uri;
  char* mobile_no;
  int user_status;
  int expires; /* registration lifetime */
  fx_contact_data* contact_data;
  int state;              /* the user's own status code */
  int registration_state; /* 0 until registered, 2 registered */
  int score;              /* -1 until fetched */
  fx_personal_info* personal_info;
  fx_list* schedule_list; /* of fx_schedule_sms */
} fx_user;

/* The contact store lock (recursive). Take it around a walk of any list or
 * while reading records; pair each fx_lock_contacts with one
 * fx_unlock_contacts on the same thread. Hold it briefly: the worker needs
 * it to apply answers. While holding it call only the accessors below and
 * the chat-text conversions; copy what a request needs (an id, a text), then
 * unlock, then make the request (engine threads take this lock inside the
 * timer lock, so a request made under it could deadlock). */
FX_API void fx_lock_contacts(void);
FX_API void fx_unlock_contacts(void);

/* ---- Own account accessors ---- */

/* Engine-owned texts and records (see the lock above); NULL or 0 while the
 * engine has no data. */
FX_API const char* fx_get_usr_uid(void);
FX_API const char* fx_get_usr_passwd(void);
/* Nickname, else personal name, else the uid. */
FX_API const char* fx_get_usr_show_name(void);
FX_API const char* fx_get_usr_uri(void);
FX_API const char* fx_get_usr_mobilenum(void);
/* The score; while it is -1 each call also requests it from the server. */
FX_API int fx_get_usr_score(void);
FX_API int fx_get_user_state(void);
FX_API int fx_get_expirestime(void);
FX_API int fx_get_user_refuse_sms_day(void);
FX_API fx_personal_info* fx_data_get_PersonalInfo(void);

/* ---- Contact accessors ---- */

/* First nodes of the store's lists (walk next, read data). */
FX_API fx_list* fx_get_group(void);
FX_API fx_list* fx_get_blacklist(void);
FX_API fx_list* fx_get_qun(void);
/* One shared cursor: first sets it, next advances it or finds the account. */
FX_API fx_account* fx_get_first_account(void);
FX_API fx_account* fx_get_next_account(const fx_account* account);
FX_API fx_account* fx_get_account_by_id(long id);
FX_API fx_qun* fx_get_qun_by_id(long id);
FX_API int fx_get_refuse_sms_day(const fx_account* account);
/* Requests the contact's profile; 1 when sent. */
FX_API int fx_update_account_info_by_id(long id);
FX_API int fx_is_pc_user_by_id(long id);
FX_API int fx_is_pc_user_by_account(const fx_account* account);
FX_API int fx_is_qun_by_id(long id);
FX_API int fx_is_authed_by_id(long id);
FX_API int fx_is_authed_by_account(const fx_account* account);
FX_API int fx_is_InBlacklist_by_id(long id);
FX_API int fx_is_InBlacklist_by_account(const fx_account* account);
FX_API int fx_is_on_line_by_id(long id);
FX_API int fx_is_on_line_by_account(const fx_account* account);
/* Status code 66..78, 0 for no account; the user's own state for the own id. */
FX_API int fx_get_online_status_by_id(long id);
FX_API int fx_get_online_status_by_account(const fx_account* account);
/* 1 when the contact is signed in from a device other than "PC". */
FX_API int fx_islogin_by_mobile(const fx_account* account);
/* New texts, freed by the caller with free(). */
FX_API char* fx_get_qun_show_name(const fx_qun* qun);
FX_API char* fx_get_account_show_name(const fx_account* account, int with_impresa);
/* Leading number of the buddy-lists text, -1 when it is NULL or empty. */
FX_API int fx_get_account_group_id(const fx_account* account);
/* The id's display number (a Tavrin number or a mobile number). */
FX_API char* fx_get_original_ID(long id);

/* ---- Own presence and profile ---- */

/* Sets the user's status (66..74; 73 and 74 both send presence 100). The
 * result goes to (cb, user): 99 set, 100 refused, 101 not answered within
 * 15 s, each with p1 the code. Returns 0 once the request is queued and 1,
 * sending nothing, for a code outside 66..74. The description is unused. */
FX_API int fx_set_user_state(int status, const char* description, fx_msg_cb cb, void* user);

/* Profile changes; each returns 1 once queued. Results to (cb, user), or
 * the system callback: 102/103 mood text set/not set, 104/105 nickname,
 * 106/107 refuse-SMS days (106 with p1 the days the server confirmed), all
 * other parameters 0. The user's profile (fx_data_get_PersonalInfo) takes
 * the confirmed value once it exists. A mood text over 256 bytes and a
 * nickname over 64 bytes are cut at the last whole UTF-8 character within
 * the limit; NULL sends the empty text. Days of 0 lift the refusal. */
FX_API int fx_set_user_impresa(const char* impresa, fx_msg_cb cb, void* user);
FX_API int fx_set_user_nickname(const char* nickname, fx_msg_cb cb, void* user);
FX_API int fx_set_user_refuse_sms_day(int days, fx_msg_cb cb, void* user);

/* ---- Chat ---- */

/* Chat lines travel inside a dialog with the contact or group chat (one per
 * id). Results of a line go to (cb, user), or the system callback: 52
 * delivered, 53 failed (p1 the sent-message record, which passes to the
 * receiver: fx_destroy_msg it), 54 not answered within 30 s (p1 the record,
 * still the engine's: a late answer reports it again as 52 or 53). Group
 * chats get 148, 150, 149 instead. Incoming lines arrive as 16 (17 when
 * relayed from a group chat) to the system callback: fetch them with
 * fx_get_msg(p2). Nudges arrive as 19, a contact's invitation as 137. */

/* Opens a dialog with an online contact: 48 trying, 49 open, 50 refused go
 * to (cb, user). When no invitation is needed (offline, no uri, a dialog
 * exists) 49 with p1 0 is reported at once on the calling thread. 1. */
FX_API int fx_begin_dialog(long id, fx_msg_cb cb, void* user);
/* fx_begin_dialog, waiting up to 15 s: 1 for 49 (or nothing to open). */
FX_API int fs_begin_dialog(long id);
/* Sends a chat line (UTF-8, sent as given). 1 when sent, queued behind the
 * dialog's invitation, or sent outside a dialog to an offline contact; 0
 * for a missing id or text, an id without uri, a mobile number, or 64 lines
 * of the contact already waiting for an answer or a dialog. */
FX_API int fx_dialog_send(long id, const char* text, fx_msg_cb cb, void* user);
/* fx_dialog_send, waiting up to 30 s: 1 for 52 (148). */
FX_API int fs_dialog_send(long id, const char* text);
/* Ends the dialog of an online contact ("B" when open) and forgets it; 1
 * when there was one. */
FX_API int fx_end_dialog(long id);
/* Nudges an online contact; 0 within 10 s of the last nudge, or when the
 * contact cannot be nudged. */
FX_API int fx_send_nudge(long id);

/* ---- SMS ---- */

/* Results to (cb, user), or the system callback, with p2 the target id: 32
 * accepted, 33 failed, 36 refused (the daily limit), each handing over p1,
 * the sent-message record (fx_destroy_msg it); 34 not answered within 30 s
 * (p1 stays the engine's; a late answer still reports). Group chats get 151,
 * 153, 154, 152. */

/* To a contact, a group chat (all its members) or the user's own id. 0 for
 * id 0, an empty text or an id the engine has no uri for. */
FX_API int fx_send_sms(long id, const char* text, fx_msg_cb cb, void* user);
/* Waits up to 30 s: 1 for 32 (151). */
FX_API int fs_send_sms(long id, const char* text);
/* To the user's own phone; 0 until the own uri is known (after login). */
FX_API int fx_send_sms_to_self(const char* text, fx_msg_cb cb, void* user);
FX_API int fs_send_sms_to_self(const char* text);
/* To any mobile number; results carry the number's mobile-derived id in p2.
 * No time-out: an unanswered request reports nothing. */
FX_API int fx_send_sms_by_mobile_no(const char* mobile_no, const char* text, fx_msg_cb cb,
                                    void* user);
FX_API int fs_send_sms_by_mobile_no(const char* mobile_no, const char* text);
/* Non-zero: SMS go as "long SMS" (one message however long), and so do chat
 * lines sent outside a dialog. */
FX_API void fx_set_longsms(int flag);

/* ---- Contact management ---- */

/* Each call returns 1 once its command is queued (or its outcome posted at
 * once) and 0 when an argument check failed (nothing sent). Outcomes go to
 * (cb, user), or the system callback, as (code, p1, p2); a text in p1 is a
 * new text the receiver frees with free(). On success the contact store is
 * updated before the message is posted. Ids and names come from the
 * server's answer, or from the request when the answer carries none. */

/* Buddy lists: 81 (name, new list id) / 82 (name, 0); 87 (name, id) / 88;
 * 84 (name, id) / 85. The name must be non-empty to create, non-NULL to
 * rename; the id non-zero. */
FX_API int fx_add_buddylist(const char* name, fx_msg_cb cb, void* user);
FX_API int fx_rename_buddylist(int group_id, const char* name, fx_msg_cb cb, void* user);
/* fx_rename_buddylist, waiting up to 15 s: 1 for 87, else 0. */
FX_API int fs_rename_buddylist(int group_id, const char* name);
FX_API int fx_delete_buddylist(int group_id, fx_msg_cb cb, void* user);
/* Sends nothing and returns 1 (kept for callers of the synchronous set). */
FX_API int fs_delete_buddylist(int group_id);

/* A contact's local name: 90 (name, id) / 91 (name, id). 0 for an empty name, id 0, the user's own
 * id or an id without an account with a uri. */
FX_API int fx_set_buddyinfo(long id, const char* local_name, fx_msg_cb cb, void* user);
/* fx_set_buddyinfo, waiting up to 15 s: 1 for 90, else 0. */
FX_API int fs_set_buddyinfo(long id, const char* local_name);

/* Deletes a contact on the server: 129 (0, id) / 130 (0, id). Its presence
 * is unsubscribed; the account stays in the store until the next contact
 * list. By account: not the user's own entry. */
FX_API int fx_delete_buddy_by_id(long id, fx_msg_cb cb, void* user);
FX_API int fx_delete_buddy_by_account(const fx_account* account, fx_msg_cb cb, void* user);

/* Adds a contact by Tavrin number or by mobile number, into the buddy list
 * group_id, with the local name (cut to 10 bytes at a whole UTF-8
 * character; NULL sends one blank) and the description shown to the other
 * side. Success: 94 (0, new contact id), the account stored (status 68, or
 * 78 for a mobile buddy) and its presence subscribed. A mobile number the
 * service does not know (522) is added again as a mobile buddy. A refusal
 * posts 94 (the service's status, 0), e.g. 404 for an unknown number. 0
 * for a NULL number. */
FX_API int fx_add_buddy_by_uid(const char* uid, const char* local_name, int group_id,
                               const char* description, fx_msg_cb cb, void* user);
FX_API int fx_add_buddy_by_mobile(const char* mobile_no, const char* local_name, int group_id,
                                  const char* description, fx_msg_cb cb, void* user);

/* Moves a contact to the buddy list group_id: 132 (list id, contact id) /
 * 133; the account's buddy_lists becomes the new id alone. */
FX_API int fx_move_group_buddy_by_id(long id, int group_id, fx_msg_cb cb, void* user);
FX_API int fx_move_group_buddy(const fx_account* account, int group_id, fx_msg_cb cb, void* user);

/* Blacklist: 113 (0, id) added / 114 not added; 116 (0, id) removed / 117
 * not removed. By account, a contact already on the list posts 113 at once
 * (and one not on it 116) without sending. By id: an account must exist. */
FX_API int fx_addto_blacklist_by_id(long id, fx_msg_cb cb, void* user);
FX_API int fx_addto_blacklist_by_account(const fx_account* account, fx_msg_cb cb, void* user);
FX_API int fx_addto_blacklist_by_uri(const char* uri, fx_msg_cb cb, void* user);
FX_API int fx_removefrom_blacklist_by_id(long id, fx_msg_cb cb, void* user);
FX_API int fx_removefrom_blacklist_by_account(const fx_account* account, fx_msg_cb cb, void* user);
FX_API int fx_removefrom_blacklist_by_uri(const char* uri, fx_msg_cb cb, void* user);

/* ---- Contact requests ---- */

/* Another user asking to add the user arrives as 93 to the system callback:
 * p1 the description, p2 the requester's uri (new texts; free() them).
 * A contact's changed relation (accepted, refused) arrives as 80. */

/* Answers a request: result non-zero accepts, putting the requester into
 * the buddy list group_id under the local name; the account is stored at
 * once (relation 1, status 68) and its presence subscribed. The server's
 * answer is not reported. 0 for a NULL uri, else 1. */
FX_API int fx_handleContactRequest(const char* uri, int result, int group_id,
                                   const char* local_name);

/* A file a contact offers inside a dialog: message 135 to the system
 * callback with p1 this record and p2 the sender id. The receiver owns it:
 * free() each text, then the record. The engine has already accepted the
 * offer's delivery (answered it). */
typedef struct fx_file_offer {
  long sender_id;
  char* file_id;
  char* session_id;
  char* url;
  char* name;
  int size;
  char* md5;
  char* transfer_type;
} fx_file_offer;

/* ---- Scheduled SMS ---- */

/* SMS the server sends at a later time. The list is fetched after each
 * login (244 fetched, also when empty / 245 not, to the system callback);
 * its records and their receivers (accounts of the contact store) are
 * engine-owned and read under fx_lock_contacts. */

/* First node of the list (data: fx_schedule_sms), or NULL. */
FX_API fx_list* fx_data_get_smlist(void);
FX_API fx_schedule_sms* fx_get_schedulesms_by_id(int id);
/* Stores a scheduled SMS for the receivers (a list of fx_account; those
 * without a uri are left out) at send_time ("YYYY-MM-DD HH:MM[:SS]" for the
 * local service). 120 (new id, 0) stored / 119 (0, 0) not. 0 when an
 * argument is NULL or no receiver has a uri. */
FX_API int fx_set_schedule_sms(const fx_list* receivers, const char* message, const char* send_time,
                               fx_msg_cb cb, void* user);
/* 123 (id, 0) deleted / 122 (id, 0) not. 0 for id 0 or an id not listed. */
FX_API int fx_delete_schedule_sms(int id, fx_msg_cb cb, void* user);
/* A new text: each receiver's display name followed by ":" (free() it);
 * NULL for a NULL list. */
FX_API char* fx_covert_schedule_receiver_to_string(const fx_list* receivers);

/* ---- Chat-text conversion ---- */

/* Formatted chat text: fx_msg_qt_format rewrites the Color and Size of
 * top-level Font elements for display; fx_msg_no_format returns their bare
 * text. Anything else comes back as a copy. New texts, freed with free(). */
FX_API char* fx_msg_qt_format(const char* text);
FX_API char* fx_msg_no_format(const char* text);

#ifdef __cplusplus
}
#endif

#endif /* LIBTAVRIN_H */
