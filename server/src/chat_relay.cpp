#include "chat_relay.h"

#include <algorithm>
#include <vector>

#include "contact_commands.h"
#include "log.h"
#include "metrics.h"
#include "tavrin/line_limit.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr const char* kNudge = "<is-composing><state>nudge</state></is-composing>";

bool isMember(Db& db, long group, long number) {
  Stmt& q = db.sql("SELECT 1 FROM group_members WHERE grp=? AND member=?");
  q.bind(1, group).bind(2, number);
  bool yes = q.step();
  q.reset();
  return yes;
}

std::vector<long> membersOf(Db& db, long group) {
  std::vector<long> out;
  Stmt& q = db.sql("SELECT member FROM group_members WHERE grp=?");
  q.bind(1, group);
  while (q.step()) out.push_back(long(q.integer(0)));
  return out;
}
}  // namespace

void ChatRelay::handleInvite(SipcConnection& c, const SipcMessage& m) {
  std::string_view t = m.headerOr("T");
  Uri u = parseUri(t);
  DialogPeer peer;
  if (u.kind == Uri::Kind::kUser && s_.store().account(u.number)) {
    peer.number = u.number;
  } else if (u.kind == Uri::Kind::kGroup && isMember(s_.store().db(), u.number, c.session.number)) {
    peer.number = u.number;
    peer.group = true;
  } else {
    return s_.reply(c, m, 404, "Not Found");
  }
  auto& dialogs = c.session.dialogs;
  if (dialogs.size() >= kMaxDialogs && !dialogs.count(m.callId))
    return s_.reply(c, m, 486, "Busy Here");
  // A new dialog with the same peer replaces any the server opened for it.
  for (auto it = dialogs.begin(); it != dialogs.end();) {
    if (it->first != m.callId && it->second.number == peer.number && it->second.group == peer.group)
      it = dialogs.erase(it);
    else
      ++it;
  }
  dialogs[m.callId] = peer;
  s_.reply(c, m, 100, "Trying");
  std::string sdp = "v=0\r\no=-0 0 IN 127.0.0.1:" + std::to_string(s_.options().sipcPort) +
                    "\r\ns=session\r\nc=IN IP4 127.0.0.1:" + std::to_string(s_.options().sipcPort) +
                    "\r\nt=0 0\r\nm=message " + std::to_string(s_.options().sipcPort) + " sip " +
                    std::string(t);
  s_.reply(c, m, 200, "OK", sdp, {{"T", std::string(t)}, {"K", "text/html-fragment"}});
}

bool ChatRelay::peerOf(SipcConnection& c, const SipcMessage& m, DialogPeer& peer) {
  auto& dialogs = c.session.dialogs;
  auto it = dialogs.find(m.callId);
  if (it != dialogs.end()) {
    peer = it->second;
    return true;
  }
  auto& ended = c.session.endedDialogs;
  if (std::find(ended.begin(), ended.end(), m.callId) != ended.end()) return false;
  Uri u = parseUri(m.headerOr("T"));
  if (u.kind == Uri::Kind::kUser && s_.store().account(u.number)) {
    peer = {u.number, false};
  } else if (u.kind == Uri::Kind::kGroup && isMember(s_.store().db(), u.number, c.session.number)) {
    peer = {u.number, true};
  } else {
    return false;
  }
  if (dialogs.size() < kMaxDialogs) dialogs[m.callId] = peer;
  return true;
}

long ChatRelay::callIdFor(SipcConnection& to, const DialogPeer& from) {
  for (const auto& [callId, p] : to.session.dialogs)
    if (p.number == from.number && p.group == from.group) return callId;
  long id = s_.newServerCallId(to);
  if (to.session.dialogs.size() < kMaxDialogs) to.session.dialogs[id] = from;
  return id;
}

void ChatRelay::deliver(SipcConnection& to, const SipcMessage& m, const DialogPeer& from,
                        std::string_view fromUri, std::string_view senderUri) {
  const bool line = m.method == "M";
  if (line) ++metrics().linesRelayed;
  const std::string_view type = m.headerOr("C", "text/plain");
  const std::time_t now = std::time(nullptr);
  const long callId = callIdFor(to, from);
  Session& ss = to.session;
  const long seq = ss.serverSeq;
  s_.request(to, m.method, callId,
             {{"F", fromUri},
              {from.group ? "SO" : "", senderUri},
              {"C", type},
              {line ? "K" : "", "SaveHistory"},
              {line ? "D" : "", httpDate(now)}},
             m.body);
  // A one-to-one line waits for the recipient's answer, within a bound per
  // connection; past it a line is relayed without that guarantee.
  if (line && !from.group && ss.relayed.size() < kRelayedLines &&
      ss.relayedBytes + m.body.size() <= kRelayedBytes) {
    Session::RelayedLine& kept = ss.relayed.emplace_back();
    kept.seq = seq;
    kept.sender = from.number;
    kept.at = now;
    kept.typeLength = type.size();
    kept.typeAndBody.reserve(type.size() + m.body.size());
    kept.typeAndBody.append(type).append(m.body);
    ss.relayedBytes += m.body.size();
  }
}

void ChatRelay::relay(SipcConnection& c, const SipcMessage& m, const DialogPeer& peer,
                      SipcConnection* to) {
  const std::string& me = c.session.uri;
  if (peer.group) {
    const std::string group = s_.groupUriOf(peer.number);
    const DialogPeer from{peer.number, true};
    for (long member : membersOf(s_.store().db(), peer.number)) {
      if (member == c.session.number) continue;
      if (SipcConnection* them = s_.online(member)) deliver(*them, m, from, group, me);
    }
    return;
  }
  if (to) return deliver(*to, m, {c.session.number, false}, me, {});
  if (m.method != "M") return;  // nudges for someone offline are dropped
  auto account = s_.store().account(peer.number);
  if (account && account->echo) return echo(c, m, peer.number);
  // Lines for someone offline were stored before they were answered.
}

bool ChatRelay::keepsOffline(const DialogPeer& peer, const SipcConnection* to) {
  if (peer.group || to) return false;
  auto account = s_.store().account(peer.number);
  return account && !account->echo;
}

void ChatRelay::storeOffline(long recipient, std::string_view senderUri, std::string_view type,
                             std::string_view body, const std::string& date) {
  s_.store()
      .db()
      .sql(
          "INSERT INTO offline_messages(recipient, sender_uri, content_type, body, date) "
          "VALUES(?,?,?,?,?)")
      .bind(1, recipient)
      .bind(2, senderUri)
      .bind(3, type)
      .bind(4, body)
      .bind(5, date)
      .run();
}

void ChatRelay::keepUnanswered(SipcConnection& c) {
  Session& ss = c.session;
  long kept = 0;
  for (const Session::RelayedLine& line : ss.relayed) {
    if (line.answered) continue;
    // Already accepted with a 200 to the sender: kept whatever the box holds.
    try {
      const std::string sender = s_.uriOf(line.sender);
      storeOffline(ss.number, sender, line.type(), line.body(), httpDate(line.at));
      counted(ss.number, sender, line.bodySize(), +1);
      ++metrics().linesStoredOffline;
      ++kept;
    } catch (const DbError& e) {
      logAt(0, "conn %llu: an unanswered line for %ld is lost: %s", (unsigned long long)c.id(),
            ss.number, e.what());
    }
  }
  if (kept > 0)
    logAt(1, "conn %llu: %ld unanswered lines kept offline for %ld", (unsigned long long)c.id(),
          kept, ss.number);
  ss.relayed.clear();
  ss.relayedBytes = 0;
}

void ChatRelay::echo(SipcConnection& c, const SipcMessage& m, long echoNumber) {
  const bool line = m.method == "M";
  // Answer on the line's own call: it is the dialog the client keeps with the echo.
  s_.request(c, m.method, m.callId,
             {{"F", s_.uriOf(echoNumber)},
              {"C", m.headerOr("C", "text/plain")},
              {line ? "K" : "", "SaveHistory"},
              {line ? "D" : "", httpDate()}},
             m.body);
}

bool ChatRelay::refusedUpFront(SipcConnection& c, const SipcMessage& m, DialogPeer& peer) {
  // Longer than any receiver takes: refused before anything else, so the
  // sender hears why and no receiver is ever handed it.
  if (m.body.size() > kMaxLineBytes) {
    logAt(1, "conn %llu: %.*s of %zu bytes refused as too long", (unsigned long long)c.id(),
          int(m.method.size()), m.method.data(), m.body.size());
    s_.reply(c, m, 413, "Request Entity Too Large");
    return true;
  }
  if (!peerOf(c, m, peer)) {
    s_.reply(c, m, 481, "Call Leg/Transaction Does Not Exist");
    return true;
  }
  // A blocked sender's lines and nudges are neither relayed nor kept. The
  // sender is answered as for any line: the block is the recipient's to tell.
  if (!peer.group && s_.contacts().blocks(peer.number, c.session.number)) {
    logAt(2, "conn %llu: %.*s to %ld dropped, the sender is blocked", (unsigned long long)c.id(),
          int(m.method.size()), m.method.data(), peer.number);
    if (m.method != "M" || !s_.options().withholdChatAcks) s_.reply(c, m, 200, "OK");
    return true;
  }
  return false;
}

void ChatRelay::handleMessage(SipcConnection& c, const SipcMessage& m) {
  DialogPeer peer;
  if (refusedUpFront(c, m, peer)) return;
  SipcConnection* to = peer.group ? nullptr : s_.online(peer.number);
  if (keepsOffline(peer, to)) {
    // A full box refuses the line: the sender sees it fail, never a 200
    // for a line that would not be kept.
    const std::string sender = s_.uriOf(c.session.number);
    if (!fits(peer.number, c.session.number, sender, m.body.size())) {
      logAt(1, "conn %llu: offline box of %ld full, line refused", (unsigned long long)c.id(),
            peer.number);
      return s_.reply(c, m, 486, "Offline Messages Full");
    }
    // Answered only once the row is committed: a store that fails throws,
    // and the sender hears 500 (a failed line), never a 200 for a lost one.
    storeOffline(peer.number, sender, m.headerOr("C", "text/plain"), m.body, httpDate());
    counted(peer.number, sender, m.body.size(), +1);
    ++metrics().linesStoredOffline;
    if (!s_.options().withholdChatAcks) s_.reply(c, m, 200, "OK");
    return;
  }
  // The receiver hears the line before the sender hears its 200: writes go
  // out in the order they were queued, and the line is what both wait for.
  // The echo account's answer still follows the 200, as a peer's would.
  const bool echoes = !peer.group && !to;
  if (!echoes) relay(c, m, peer, to);
  if (!s_.options().withholdChatAcks) s_.reply(c, m, 200, "OK");
  if (echoes) relay(c, m, peer, to);
}

void ChatRelay::handleInfo(SipcConnection& c, const SipcMessage& m) {
  DialogPeer peer;
  if (refusedUpFront(c, m, peer)) return;
  s_.reply(c, m, 200, "OK");
  SipcConnection* to = peer.group ? nullptr : s_.online(peer.number);
  if (!peer.group && !to) {
    auto account = s_.store().account(peer.number);
    if (account && account->echo && equalsNoCase(m.body, kNudge)) echo(c, m, peer.number);
    return;
  }
  relay(c, m, peer, to);
}

void ChatRelay::handleBye(SipcConnection& c, const SipcMessage& m) {
  auto& dialogs = c.session.dialogs;
  auto it = dialogs.find(m.callId);
  if (it == dialogs.end()) return s_.reply(c, m, 481, "Call Leg/Transaction Does Not Exist");
  DialogPeer peer = it->second;
  dialogs.erase(it);
  auto& ended = c.session.endedDialogs;
  ended.push_back(m.callId);
  if (ended.size() > kMaxEnded) ended.pop_front();
  s_.reply(c, m, 200, "OK");
  if (peer.group) return;
  // The peer's own dialog with this user ends too.
  if (SipcConnection* to = s_.online(peer.number)) {
    auto& theirs = to->session.dialogs;
    for (auto jt = theirs.begin(); jt != theirs.end(); ++jt) {
      if (!jt->second.group && jt->second.number == c.session.number) {
        long callId = jt->first;
        theirs.erase(jt);
        s_.request(*to, "B", callId, {{"F", s_.uriOf(c.session.number)}}, {});
        break;
      }
    }
  }
}

bool ChatRelay::deliverLine(long recipient, const std::string& fromUri, std::string_view type,
                            std::string_view body) {
  // A phone (tel:) is no account: it gets a stranger's share of the box.
  const Uri from = parseUri(fromUri);
  const long fromNumber = from.kind == Uri::Kind::kUser ? from.number : 0;
  if (!fits(recipient, fromNumber, fromUri, body.size())) return false;
  storeOffline(recipient, fromUri, type, body, httpDate());
  const long row = long(s_.store().db().lastInsertId());
  counted(recipient, fromUri, body.size(), +1);
  if (SipcConnection* c = s_.online(recipient)) {
    Session& ss = c->session;
    // A pass under way reaches the new row on its own (rows go in id order).
    if (!ss.offlinePass) {
      ss.offlinePass = true;
      ss.offlineCursor = row - 1;
    }
    handOutBatch(*c);
  }
  return true;
}

void ChatRelay::handleOfflineRequest(SipcConnection& c, const SipcMessage& m) {
  Session& ss = c.session;
  const long waiting = box(ss.number).all.lines;
  if (waiting == 0) boxes_.erase(ss.number);  // only boxes that hold lines are kept
  s_.reply(c, m, 200, "OK",
           "<results><messages count=\"" + std::to_string(waiting) + "\" /></results>");
  // A new request starts over from the oldest row: lines the client refused
  // earlier on this connection get another chance.
  ss.offlinePass = true;
  ss.offlineCursor = 0;
  handOutBatch(c);
}

void ChatRelay::handOutBatch(SipcConnection& c) {
  Session& ss = c.session;
  if (!ss.offlinePass || !ss.offlineInFlight.empty()) return;
  struct Row {
    long id;
    std::string from, source, type, body, date;
  };
  std::vector<Row> rows;
  size_t bytes = 0;
  Stmt& q = s_.store().db().sql(
      "SELECT id, sender_uri, source_uri, content_type, body, date FROM offline_messages "
      "WHERE recipient=? AND id>? ORDER BY id LIMIT ?");
  q.bind(1, ss.number).bind(2, ss.offlineCursor).bind(3, kOfflineBatchLines);
  std::vector<std::pair<long, std::string>> untakeable;  // row, sender
  while (q.step()) {
    std::string body = q.text(4);
    if (body.size() > kMaxLineBytes) {
      // Kept before lines had a limit: no engine takes it.
      untakeable.emplace_back(long(q.integer(0)), q.text(1));
      ss.offlineCursor = std::max(ss.offlineCursor, long(q.integer(0)));
      bytes += body.size();
      continue;
    }
    if (!rows.empty() && bytes + body.size() > kOfflineBatchBytes) break;
    bytes += body.size();
    rows.push_back(
        {long(q.integer(0)), q.text(1), q.text(2), q.text(3), std::move(body), q.text(5)});
  }
  q.reset();
  for (const auto& [row, sender] : untakeable) {
    logAt(0, "conn %llu: offline message %ld for %ld is too long for any receiver, dropped",
          (unsigned long long)c.id(), row, ss.number);
    dropRow(ss.number, row, sender, 0);
  }
  if (rows.empty()) {
    if (!untakeable.empty()) return handOutBatch(c);
    ss.offlinePass = false;  // the backlog is handed over
    return;
  }
  ss.offlineCursor = rows.back().id;
  ss.offlineBatchAt = std::time(nullptr);
  for (Row& r : rows) {
    long callId = s_.newServerCallId(c);
    s_.request(c, "M", callId,
               {{"F", r.from},
                {"C", r.type},
                {"K", "SaveHistory"},
                {"D", r.date},
                {r.source.empty() ? "" : "SO", r.source}},
               r.body);
    // The row stays until the recipient's engine answers this line (onAnswer):
    // a connection lost before that gets it again at the next login.
    ss.offlineInFlight[callId] = {r.id, std::move(r.from), r.body.size()};
  }
}

void ChatRelay::onAnswer(SipcConnection& c, const SipcMessage& m) {
  if (m.method != "M" || m.status < 200) return;
  // A relayed line is answered on its own sequence; an answer that names a
  // sender must name the line's (an answer owed to an earlier connection
  // never lets a line go). Any status lets it go: a refusal is the client's.
  Session& ss = c.session;
  auto& relayed = ss.relayed;
  if (!relayed.empty() && m.seq >= relayed.front().seq && m.seq <= relayed.back().seq) {
    auto it = std::lower_bound(relayed.begin(), relayed.end(), m.seq,
                               [](const Session::RelayedLine& l, long seq) { return l.seq < seq; });
    const auto from = m.header("F");
    if (it->seq == m.seq && !it->answered && (!from || *from == s_.uriOf(it->sender))) {
      it->answered = true;
      if (m.status == 200 || m.status == 280) ++metrics().linesDelivered;
      ss.relayedBytes -= it->bodySize();
      std::string().swap(it->typeAndBody);
      while (!relayed.empty() && relayed.front().answered) relayed.pop_front();
      return;
    }
  }
  auto& inFlight = c.session.offlineInFlight;
  auto it = inFlight.find(m.callId);
  const bool late = it == inFlight.end();
  if (late) {
    it = c.session.offlineLate.find(m.callId);
    if (it == c.session.offlineLate.end()) return;
  }
  Session::OfflineHandout line = std::move(it->second);
  (late ? c.session.offlineLate : inFlight).erase(it);
  // 413: the receiver can never take the line, so keeping it would only
  // hand it out again at every login.
  if (m.status == 200 || m.status == 280 || m.status == 413) {
    if (m.status == 413)
      logAt(0, "conn %llu: offline message %ld for %ld refused as too long, dropped",
            (unsigned long long)c.id(), line.row, c.session.number);
    dropRow(c.session.number, line.row, line.sender, line.bytes, c.id());
    if (m.status != 413) ++metrics().linesDelivered;
  }
  // A refused line is kept for the next login; the pass goes on either way.
  if (!late) handOutBatch(c);
}

void ChatRelay::dropRow(long recipient, long row, const std::string& sender, size_t bytes,
                        uint64_t conn) {
  try {
    s_.store().db().sql("DELETE FROM offline_messages WHERE id=?").bind(1, row).run();
    // A row of unknown size (0) is counted afresh from the table.
    if (bytes > 0) {
      counted(recipient, sender, bytes, -1);
    } else {
      boxes_.erase(recipient);
      senderTotals_.erase(sender);
    }
  } catch (const DbError& e) {
    // The line was received; at worst it comes once more at the next login.
    logAt(0, "conn %llu: offline message %ld stays: %s", (unsigned long long)conn, row, e.what());
  }
}

void ChatRelay::checkStalled(SipcConnection& c, std::time_t now) {
  Session& ss = c.session;
  if (!ss.offlinePass || ss.offlineInFlight.empty() || now - ss.offlineBatchAt < kBatchPatience)
    return;
  // An engine that never answers a line must not hold back the lines
  // behind it: the batch is given up on (its rows stay, and a late answer
  // still lets its line go) and the next one goes out.
  logAt(1, "conn %llu: %zu offline line(s) unanswered for %lds, handing out the next batch",
        (unsigned long long)c.id(), ss.offlineInFlight.size(), long(now - ss.offlineBatchAt));
  if (ss.offlineLate.size() > kMaxLate) ss.offlineLate.clear();
  ss.offlineLate.merge(ss.offlineInFlight);
  ss.offlineInFlight.clear();
  handOutBatch(c);
}

ChatRelay::OfflineBox& ChatRelay::box(long recipient) {
  auto [it, fresh] = boxes_.try_emplace(recipient);
  if (fresh) {
    Stmt& q = s_.store().db().sql(
        "SELECT sender_uri, COUNT(*), SUM(LENGTH(CAST(body AS BLOB))) FROM offline_messages "
        "WHERE recipient=? GROUP BY sender_uri");
    q.bind(1, recipient);
    while (q.step()) {
      Tally t{long(q.integer(1)), long(q.integer(2))};
      it->second.all.lines += t.lines;
      it->second.all.bytes += t.bytes;
      it->second.bySender[q.text(0)] = t;
    }
    q.reset();
  }
  return it->second;
}

long& ChatRelay::senderTotal(const std::string& sender) {
  auto [it, fresh] = senderTotals_.try_emplace(sender, 0);
  if (fresh) {
    Stmt& q = s_.store().db().sql(
        "SELECT SUM(LENGTH(CAST(body AS BLOB))) FROM offline_messages WHERE sender_uri=?");
    q.bind(1, sender);
    if (q.step()) it->second = long(q.integer(0));
    q.reset();
  }
  return it->second;
}

bool ChatRelay::fits(long recipient, long senderNumber, const std::string& sender,
                     size_t bytes) {
  const Options& o = s_.options();
  const OfflineBox& b = box(recipient);
  const auto it = b.bySender.find(sender);
  const Tally mine = it == b.bySender.end() ? Tally{} : it->second;
  const long size = long(bytes);
  // Someone the recipient never listed gets a small share: a stranger
  // cannot fill a box that the recipient's contacts need.
  Stmt& q = s_.store().db().sql("SELECT 1 FROM buddies WHERE owner=? AND buddy=?");
  q.bind(1, recipient).bind(2, senderNumber);
  const bool contact = q.step();
  q.reset();
  const long shareLines =
      contact ? o.offlineSenderLines : std::max(1L, o.offlineSenderLines / kStrangerShare);
  const long shareBytes =
      contact ? o.offlineSenderBytes : std::max(1L, o.offlineSenderBytes / kStrangerShare);
  return b.all.lines < o.offlineMaxLines && b.all.bytes + size <= o.offlineMaxBytes &&
         mine.lines < shareLines && mine.bytes + size <= shareBytes &&
         senderTotal(sender) + size <= o.offlineSenderTotalBytes;
}

void ChatRelay::counted(long recipient, const std::string& sender, size_t bytes, int sign) {
  OfflineBox& b = box(recipient);
  Tally& mine = b.bySender[sender];
  for (Tally* t : {&b.all, &mine}) {
    t->lines = std::max(0L, t->lines + sign);
    t->bytes = std::max(0L, t->bytes + sign * long(bytes));
  }
  if (mine.lines == 0) b.bySender.erase(sender);
  if (b.all.lines == 0) boxes_.erase(recipient);
  long& total = senderTotal(sender);
  total = std::max(0L, total + sign * long(bytes));
  if (total == 0) senderTotals_.erase(sender);
}

void ChatRelay::dropSession(SipcConnection& c) {
  keepUnanswered(c);
  c.session.dialogs.clear();
  c.session.endedDialogs.clear();
  // Lines handed out and unanswered stay stored for the next login.
  c.session.offlineInFlight.clear();
  c.session.offlineLate.clear();
  c.session.offlinePass = false;
}

void ChatRelay::dropOffline(long recipient) {
  s_.store().db().sql("DELETE FROM offline_messages WHERE recipient=?").bind(1, recipient).run();
  boxes_.erase(recipient);
}

}  // namespace tavrin::server
