#include "admin/admin_command.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "admin/account_admin.h"
#include "admin/account_csv.h"
#include "admin/backup.h"
#include "admin/password_input.h"
#include "control_socket.h"
#include "data_folder.h"
#include "options.h"
#include "sipc_message.h"
#include "store.h"

namespace tavrin::server {

namespace {

constexpr const char* kUsage =
    "usage: tavrin-server account add [--number N] --mobile MOBILE --nickname NAME\n"
    "                                 [--password-stdin | --password-file FILE]\n"
    "       tavrin-server account list [--json]\n"
    "       tavrin-server account show NUMBER [--json]\n"
    "       tavrin-server account passwd NUMBER [--password-stdin | --password-file FILE]\n"
    "       tavrin-server account disable|enable|remove NUMBER\n"
    "       tavrin-server account import FILE [--json]   (FILE - reads standard input)\n"
    "       tavrin-server backup FILE\n"
    "       tavrin-server restore FILE\n"
    "Each takes the server's --config FILE or --data DIR (and --domain) to find the data.\n"
    "NUMBER is the 9-digit Tavrin number or the 11-digit mobile number.\n"
    "Passwords come from a prompt, standard input or a file; never from the command line.\n";

constexpr long kMaxImportBytes = 64L << 20;

struct Args {
  std::string command, sub;
  std::vector<std::string> positional;
  bool json = false;
  bool help = false;
  long number = 0;
  std::string mobile, nickname;
  bool nicknameGiven = false;
  PasswordSource password;
  std::vector<std::string> serverArgs;  // handed to the server's own option parser
};

int usageError(const std::string& why) {
  std::fprintf(stderr, "tavrin-server: %s\n%s", why.c_str(), kUsage);
  return 2;
}

int failed(const std::string& why) {
  std::fprintf(stderr, "tavrin-server: %s\n", why.c_str());
  return 1;
}

std::string jsonText(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string when(long t) {
  if (t == 0) return "-";
  char buf[32];
  std::time_t at = t;
  std::tm tm{};
  localtime_r(&at, &tm);
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
  return buf;
}

// Reads the command's own options; the rest go to the server's parser.
std::optional<std::string> readArgs(int argc, char** argv, Args& a) {
  a.command = argv[1];
  int i = 2;
  if (a.command == "account") {
    if (argc < 3) return std::string("account needs a subcommand");
    a.sub = argv[2];
    i = 3;
    if (a.sub == "--help" || a.sub == "-h") a.help = true;
  }
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    if (arg == "--password" || arg.rfind("--password=", 0) == 0 || arg == "-p")
      return std::string(
          "a password is never taken on the command line (others can read it in the process "
          "list): use the prompt, --password-stdin or --password-file FILE");
    if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--json") {
      a.json = true;
    } else if (arg == "--password-stdin") {
      a.password.fromStdin = true;
    } else if (arg == "--password-file") {
      if (!value(a.password.file) || a.password.file.empty())
        return std::string("--password-file needs a file");
    } else if (arg == "--number") {
      std::string v;
      if (!value(v) || v.size() != 9 || !parseLong(v, a.number))
        return std::string("--number needs a 9-digit number");
    } else if (arg == "--mobile") {
      if (!value(a.mobile)) return std::string("--mobile needs a number");
    } else if (arg == "--nickname") {
      if (!value(a.nickname)) return std::string("--nickname needs a name");
      a.nicknameGiven = true;
    } else if (arg == "--config" || arg == "--data" || arg == "--domain") {
      std::string v;
      if (!value(v)) return arg + " needs a value";
      a.serverArgs.push_back(arg);
      a.serverArgs.push_back(v);
    } else if (arg == "-" || arg.empty() || arg[0] != '-') {
      a.positional.push_back(arg);
    } else {
      return "unknown option " + arg;
    }
  }
  return std::nullopt;
}

// Run as root on a folder another user owns (the service's), the command
// becomes that user: files it makes stay the service's, and it can do
// nothing the service could not. It works from inside the folder, since
// the folders above it may be closed to that user.
std::string becomeOwnerOf(std::string& dataDir) {
  if (::geteuid() != 0) return {};
  struct stat st {};
  if (::stat(dataDir.c_str(), &st) != 0 || st.st_uid == 0) return {};
  if (::chdir(dataDir.c_str()) != 0) return "cannot enter " + dataDir;
  if (::setgroups(0, nullptr) != 0 || ::setgid(st.st_gid) != 0 || ::setuid(st.st_uid) != 0)
    return "cannot become the owner of " + dataDir;
  dataDir = ".";
  return {};
}

// Tells the running server; quiet when none runs (the change waits in the
// database for its start).
void tellServer(const std::string& dataDir, long number) {
  std::string answer, why;
  const std::string line = "account " + std::to_string(number);
  if (notifyServer(dataDir, line, &answer, &why)) {
    if (answer != "ok") std::fprintf(stderr, "tavrin-server: the server answered: %s\n", answer.c_str());
    return;
  }
  if (why.rfind("no server is running", 0) != 0)
    std::fprintf(stderr, "tavrin-server: %s; it sees the change at the next login\n", why.c_str());
}

class AccountCommand {
 public:
  AccountCommand(const Args& a, Store& store, std::string dataDir)
      : a_(a), store_(store), admin_(store), dataDir_(std::move(dataDir)) {}

  int run() {
    const std::string& s = a_.sub;
    if (s == "add") return add();
    if (s == "list") return list();
    if (s == "import") return import();
    if (a_.positional.size() != 1) return usageError("account " + s + " needs one NUMBER");
    auto account = admin_.find(a_.positional[0]);
    if (!account) return failed("no account " + a_.positional[0]);
    if (s == "show") return show(*account);
    if (s == "passwd") return passwd(*account);
    if (s == "disable" || s == "enable") return setDisabled(*account, s == "disable");
    if (s == "remove") return remove(*account);
    return usageError("unknown account command " + s);
  }

 private:
  int add() {
    if (!a_.positional.empty()) return usageError("account add takes its fields as options");
    if (a_.mobile.empty() || !a_.nicknameGiven)
      return usageError("account add needs --mobile and --nickname");
    NewAccount n{a_.number, a_.mobile, a_.nickname, "x"};
    if (std::string why = checkNewAccount(n); !why.empty()) return failed(why);
    std::string why;
    auto password = readPassword(a_.password, "password for the new account", &why);
    if (!password) return failed(why);
    n.password = *password;
    {
      Transaction tx(store_.db(), Transaction::kImmediate);
      if (why = admin_.add(n); !why.empty()) return failed(why);
    }
    tellServer(dataDir_, n.number);
    if (a_.json)
      std::printf("{\"number\":%ld,\"mobile\":%s}\n", n.number, jsonText(n.mobile).c_str());
    else
      std::printf("created account %ld (mobile %s)\n", n.number, n.mobile.c_str());
    return 0;
  }

  int list() {
    const auto accounts = admin_.list();
    if (a_.json) {
      std::string out = "[";
      for (const Account& x : accounts) {
        if (out.size() > 1) out += ",";
        out += accountJson(x) + "}";
      }
      std::printf("%s]\n", out.c_str());
      return 0;
    }
    std::printf("%-10s %-12s %-9s %-17s %s\n", "NUMBER", "MOBILE", "STATE", "CREATED", "NICKNAME");
    for (const Account& x : accounts)
      std::printf("%-10ld %-12s %-9s %-17s %s\n", x.number, x.mobile.empty() ? "-" : x.mobile.c_str(),
                  x.disabled ? "disabled" : "enabled", when(x.created).c_str(), x.nickname.c_str());
    return 0;
  }

  std::string accountJson(const Account& x) {
    return "{\"number\":" + std::to_string(x.number) + ",\"mobile\":" + jsonText(x.mobile) +
           ",\"nickname\":" + jsonText(x.nickname) +
           ",\"disabled\":" + (x.disabled ? "true" : "false") +
           ",\"created\":" + std::to_string(x.created);
  }

  int show(const Account& account) {
    auto d = admin_.show(account.number);
    if (!d) return failed("no account " + std::to_string(account.number));
    if (a_.json) {
      std::printf("%s,\"contacts\":%ld,\"buddy_lists\":%ld,\"groups\":%ld,\"offline_lines\":%ld,"
                  "\"offline_bytes\":%ld}\n",
                  accountJson(d->account).c_str(), d->contacts, d->buddyLists, d->groups,
                  d->offlineLines, d->offlineBytes);
      return 0;
    }
    const Account& x = d->account;
    std::printf("number        %ld\nmobile        %s\nnickname      %s\nstate         %s\n"
                "created       %s\ncontacts      %ld\nbuddy lists   %ld\ngroup chats   %ld\n"
                "offline lines %ld (%ld bytes)\n",
                x.number, x.mobile.empty() ? "-" : x.mobile.c_str(), x.nickname.c_str(),
                x.disabled ? "disabled" : "enabled", when(x.created).c_str(), d->contacts,
                d->buddyLists, d->groups, d->offlineLines, d->offlineBytes);
    return 0;
  }

  int passwd(const Account& account) {
    std::string why;
    auto password =
        readPassword(a_.password, "new password for " + std::to_string(account.number), &why);
    if (!password) return failed(why);
    if (why = checkPassword(*password); !why.empty()) return failed(why);
    store_.setPassword(account.number, *password);
    tellServer(dataDir_, account.number);
    std::printf("password of %ld changed; it takes effect at the next login\n", account.number);
    return 0;
  }

  int setDisabled(const Account& account, bool disabled) {
    store_.setDisabled(account.number, disabled);
    tellServer(dataDir_, account.number);
    std::printf(disabled ? "account %ld disabled\n" : "account %ld enabled\n", account.number);
    return 0;
  }

  int remove(const Account& account) {
    store_.removeAccount(account.number);
    tellServer(dataDir_, account.number);
    std::printf("account %ld removed\n", account.number);
    return 0;
  }

  int import() {
    if (a_.positional.size() != 1) return usageError("account import needs one FILE");
    const std::string& file = a_.positional[0];
    std::stringstream text;
    if (file == "-") {
      text << std::cin.rdbuf();
    } else {
      std::ifstream in(file, std::ios::binary);
      if (!in) return failed("cannot read " + file);
      text << in.rdbuf();
    }
    const std::string csv = text.str();
    if (long(csv.size()) > kMaxImportBytes)
      return failed(file + " is larger than " + std::to_string(kMaxImportBytes >> 20) + " MiB");
    const ImportReport r = importAccounts(store_, csv);
    if (a_.json) {
      std::string out = "{\"created\":[";
      for (size_t i = 0; i < r.created.size(); ++i)
        out += (i ? "," : "") + std::string("{\"line\":") + std::to_string(r.created[i].line) +
               ",\"number\":" + std::to_string(r.created[i].number) + "}";
      out += "],\"refused\":[";
      for (size_t i = 0; i < r.refused.size(); ++i)
        out += (i ? "," : "") + std::string("{\"line\":") + std::to_string(r.refused[i].line) +
               ",\"reason\":" + jsonText(r.refused[i].reason) + "}";
      std::printf("%s]}\n", out.c_str());
    } else {
      for (const auto& c : r.created) std::printf("line %d: created %ld\n", c.line, c.number);
      for (const auto& x : r.refused)
        std::printf("line %d: refused: %s\n", x.line, x.reason.c_str());
      std::printf("%zu created, %zu refused\n", r.created.size(), r.refused.size());
    }
    return r.refused.empty() ? 0 : 1;
  }

  const Args& a_;
  Store& store_;
  AccountAdmin admin_;
  std::string dataDir_;
};

int backupOrRestore(const Args& a, const std::string& dataDir) {
  if (a.positional.size() != 1) return usageError(a.command + " needs one FILE");
  const std::string& file = a.positional[0];
  const std::string dbPath = dataDir + "/tavrin-server.db";
  std::string summary, why;
  if (a.command == "backup") {
    if (why = checkDataFolder(dataDir, true); !why.empty()) return failed(why);
    if (why = backupDatabase(dbPath, file, &summary); !why.empty()) return failed(why);
    std::printf("%s\n", summary.c_str());
    return 0;
  }
  std::string answer;
  if (notifyServer(dataDir, "ping", &answer, &why))
    return failed("a server is running on " + dataDir + ": stop it before a restore");
  if (why = claimDataFolder(dataDir); !why.empty()) return failed(why);
  if (why = restoreDatabase(file, dbPath, &summary); !why.empty()) return failed(why);
  std::printf("%s\n", summary.c_str());
  return 0;
}

}  // namespace

bool isAdminCommand(int argc, char** argv) {
  if (argc < 2) return false;
  const std::string first = argv[1];
  return first == "account" || first == "backup" || first == "restore";
}

int runAdminCommand(int argc, char** argv) {
  Args a;
  if (auto err = readArgs(argc, argv, a)) return usageError(*err);
  if (a.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (a.password.fromStdin && !a.password.file.empty())
    return usageError("--password-stdin and --password-file exclude each other");
  std::vector<char*> serverArgv{argv[0]};
  for (std::string& s : a.serverArgs) serverArgv.push_back(s.data());
  Options opt;
  bool help = false;
  if (auto err = parseOptions(int(serverArgv.size()), serverArgv.data(), opt, help))
    return usageError(*err);
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string dataDir = opt.dataDir;
  if (std::string why = becomeOwnerOf(dataDir); !why.empty()) return failed(why);
  try {
    if (a.command != "account") return backupOrRestore(a, dataDir);
    const bool creates = a.sub == "add" || a.sub == "import";
    const std::string dbPath = dataDir + "/tavrin-server.db";
    if (creates) {
      if (std::string why = claimDataFolder(dataDir); !why.empty()) return failed(why);
      if (std::string why = narrowDatabaseFiles(dbPath); !why.empty()) return failed(why);
    } else {
      if (std::string why = checkDataFolder(dataDir, true); !why.empty()) return failed(why);
      if (::access(dbPath.c_str(), F_OK) != 0) return failed("no accounts yet in " + dataDir);
    }
    Store store(dbPath, opt.domain);
    // The server may be writing: wait for it rather than fail.
    store.db().busyTimeout(15000);
    return AccountCommand(a, store, dataDir).run();
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

}  // namespace tavrin::server
