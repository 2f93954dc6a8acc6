#include "metrics.h"

namespace tavrin::server {

namespace {

void family(std::string& out, const char* name, const char* type, const char* help) {
  out += "# HELP ";
  out += name;
  out += ' ';
  out += help;
  out += "\n# TYPE ";
  out += name;
  out += ' ';
  out += type;
  out += '\n';
}

void sample(std::string& out, const char* name, const std::string& labels, long long value) {
  out += name;
  if (!labels.empty()) out += "{" + labels + "}";
  out += ' ';
  out += std::to_string(value);
  out += '\n';
}

// Label values here are our own listener and protocol names; escaped all
// the same, as the format asks.
std::string label(const char* name, const std::string& value) {
  std::string v;
  for (char ch : value) {
    if (ch == '\\' || ch == '"') v += '\\';
    if (ch == '\n') {
      v += "\\n";
      continue;
    }
    v += ch;
  }
  return std::string(name) + "=\"" + v + "\"";
}

}  // namespace

Metrics& metrics() {
  static Metrics m;
  return m;
}

std::string renderMetrics(const Metrics& m, const MetricsGauges& g) {
  std::string out;
  family(out, "tavrin_connections", "gauge", "SIP-C connections open now, by listener.");
  if (m.open.empty()) sample(out, "tavrin_connections", label("listener", "sipc"), 0);
  for (const auto& [listener, n] : m.open)
    sample(out, "tavrin_connections", label("listener", listener), n);
  family(out, "tavrin_connections_accepted_total", "counter",
         "SIP-C connections accepted, by listener.");
  if (m.accepted.empty()) sample(out, "tavrin_connections_accepted_total", label("listener", "sipc"), 0);
  for (const auto& [listener, n] : m.accepted)
    sample(out, "tavrin_connections_accepted_total", label("listener", listener), (long long)n);
  family(out, "tavrin_signed_in_users", "gauge", "Accounts signed in now.");
  sample(out, "tavrin_signed_in_users", {}, g.signedIn);
  family(out, "tavrin_lines_relayed_total", "counter",
         "Chat lines handed to a signed-in recipient (one per copy in a group chat).");
  sample(out, "tavrin_lines_relayed_total", {}, (long long)m.linesRelayed);
  family(out, "tavrin_lines_stored_offline_total", "counter",
         "Chat lines kept for a recipient who was offline or left before taking them.");
  sample(out, "tavrin_lines_stored_offline_total", {}, (long long)m.linesStoredOffline);
  family(out, "tavrin_lines_delivered_total", "counter",
         "Chat lines the recipient's client answered as taken, live or from the offline box.");
  sample(out, "tavrin_lines_delivered_total", {}, (long long)m.linesDelivered);
  family(out, "tavrin_offline_lines_waiting", "gauge", "Chat lines waiting in offline boxes.");
  sample(out, "tavrin_offline_lines_waiting", {}, g.offlineLines);
  family(out, "tavrin_offline_bytes_waiting", "gauge",
         "Bytes of chat lines waiting in offline boxes.");
  sample(out, "tavrin_offline_bytes_waiting", {}, g.offlineBytes);
  family(out, "tavrin_login_failures_total", "counter",
         "Wrong passwords, at registration and at sign-in.");
  sample(out, "tavrin_login_failures_total", {}, (long long)m.loginFailures);
  family(out, "tavrin_login_locks_total", "counter",
         "Account or address locks started by repeated wrong passwords.");
  sample(out, "tavrin_login_locks_total", {}, (long long)m.loginLocks);
  family(out, "tavrin_sms_accepted_total", "counter", "SMS accepted for sending.");
  sample(out, "tavrin_sms_accepted_total", {}, (long long)m.smsAccepted);
  family(out, "tavrin_request_errors_total", "counter",
         "Requests answered with a status of 400 or more, by protocol and status.");
  for (const auto& [key, n] : m.requestErrors)
    sample(out, "tavrin_request_errors_total",
           label("protocol", key.first) + "," + label("status", std::to_string(key.second)),
           (long long)n);
  return out;
}

}  // namespace tavrin::server
