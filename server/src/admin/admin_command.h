// The operator's commands, run by the server binary when its first word
// names one: `tavrin-server account add|list|show|passwd|disable|enable|
// remove|import ...`, `tavrin-server backup FILE` and `tavrin-server
// restore FILE`. They work on the data folder the server's own options
// name (--config FILE, --data DIR), while the server runs: a change is
// committed to the database first and the running server is then told
// through its control socket (see control_socket.h), so it acts at once.
// Run as root on a folder another user owns, a command becomes that user
// before it touches anything, so every file stays the service's own.
#pragma once

namespace tavrin::server {

bool isAdminCommand(int argc, char** argv);
// The command's exit status: 0 done, 1 refused or failed, 2 a usage error.
int runAdminCommand(int argc, char** argv);

}  // namespace tavrin::server
