// Metrics: what the server counts for its operator, and the page that shows
// it in Prometheus' text format (served on its own port, loopback unless
// configured otherwise; see server/README.md for every name). Counters only
// grow; gauges are read when the page is asked for. Modules bump the
// process's one Metrics through metrics(); connections are counted per
// listener ("sipc" for plain SIP-C; an encrypted listener passes its own
// name), so each kind shows as a label of the same families.
// Event-loop thread only: no lock, nothing touches it from another thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tavrin::server {

struct Metrics {
  std::map<std::string, uint64_t> accepted;  // listener -> connections accepted
  std::map<std::string, int64_t> open;       // listener -> connections open now
  uint64_t linesRelayed = 0;        // chat lines handed to a signed-in recipient
  uint64_t linesStoredOffline = 0;  // chat lines kept for a recipient who is offline
  uint64_t linesDelivered = 0;      // lines the recipient's engine answered as taken
  uint64_t loginFailures = 0;       // wrong passwords (registration and sign-in)
  uint64_t loginLocks = 0;          // locks those failures started
  uint64_t smsAccepted = 0;
  // (protocol "sipc" or "http", status) -> answers with a status of 400 or more
  std::map<std::pair<std::string, int>, uint64_t> requestErrors;

  void connectionOpened(const std::string& listener) {
    ++accepted[listener];
    ++open[listener];
  }
  void connectionClosed(const std::string& listener) { --open[listener]; }
  void requestError(const char* protocol, int status) { ++requestErrors[{protocol, status}]; }
};

Metrics& metrics();

// What is read at the moment the page is asked for.
struct MetricsGauges {
  long signedIn = 0;
  long offlineLines = 0;
  long offlineBytes = 0;
};

// The page: HELP and TYPE for every family, one sample a line.
std::string renderMetrics(const Metrics& m, const MetricsGauges& g);

}  // namespace tavrin::server
