#include "traffic.h"

#include <string_view>

namespace {

std::string contact_list(int n) {
  std::string s = "<results><contacts version=\"12\"><buddies>";
  for (int i = 0; i < n; ++i)
    s += "<buddy uri=\"sip:" + std::to_string(600000000 + i) +
         "@tavrin.test;p=3001\" local-name=\"friend " + std::to_string(i) +
         "\" buddy-lists=\"1\" relation-status=\"1\"/>";
  return s + "</buddies></contacts></results>";
}

std::string presence(int i) {
  return "<events><event type=\"PresenceChanged\"><contacts><c id=\"" + std::to_string(i) +
         "\"><p v=\"0\" sid=\"" + std::to_string(600000000 + i) +
         "\" su=\"sip:" + std::to_string(600000000 + i) +
         "@tavrin.test;p=3001\" m=\"13800000000\" c=\"CMCC\" cs=\"1\" s=\"0\" l=\"0\" "
         "sms=\"0.0:0:0\" "
         "n=\"nick" +
         std::to_string(i) +
         "\" i=\"mood text\" p=\"400\" sv=\"1\"/><pr di=\"PCCL\" b=\"400\" "
         "d=\"\" dt=\"PC\" dc=\"17\"/></c></contacts></event></events>";
}

// SIP-C and SIP header names side by side, with SIP's compact form (or the
// long name where SIP has none).
struct names {
  const char* sipc;
  const char* sip;
  const char* compact;
};
constexpr names kF{"F", "From", "f"}, kT{"T", "To", "t"}, kC{"C", "Content-Type", "c"},
    kN{"N", "Event", "o"}, kX{"X", "Expires", "Expires"}, kK{"K", "Supported", "k"};

void build(traffic& t, int call_id, int status, const char* method, const char* sip_method,
           const std::vector<std::pair<names, std::string>>& headers, const std::string& body) {
  std::string a, b, c;
  if (status) {
    a = "SIP-C/2.0 " + std::to_string(status) + " OK\r\n";
    b = "SIP/2.0 " + std::to_string(status) + " OK\r\n";
  } else {
    a = std::string(method) + " 512345678 SIP-C/2.0\r\n";
    b = std::string(sip_method) + " sip:512345678@tavrin.test SIP/2.0\r\n";
  }
  c = b;
  b += "Via: SIP/2.0/TCP 127.0.0.1:8080;branch=z9hG4bK" + std::to_string(call_id) + "\r\n";
  a += "I: " + std::to_string(call_id) + "\r\nQ: 2 " + method + "\r\n";
  b += "Call-ID: " + std::to_string(call_id) + "\r\nCSeq: 2 " + sip_method + "\r\n";
  c += "i: " + std::to_string(call_id) + "\r\nCSeq: 2 " + sip_method + "\r\n";
  for (const auto& [n, v] : headers) {
    a += std::string(n.sipc) + ": " + v + "\r\n";
    std::string sv = v;
    if (std::string_view(n.sip) == "From" || std::string_view(n.sip) == "To") sv = "<" + v + ">";
    b += std::string(n.sip) + ": " + sv + "\r\n";
    c += std::string(n.compact) + ": " + v + "\r\n";
  }
  if (!body.empty()) {
    a += "L: " + std::to_string(body.size()) + "\r\n";
    c += "l: " + std::to_string(body.size()) + "\r\n";
  }
  b += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  a += "\r\n" + body;
  b += "\r\n" + body;
  c += "\r\n" + body;
  t.sipc_bytes += a.size();
  t.sip_bytes += b.size();
  t.sip_same_shape_bytes += c.size();
  t.sipc_stream += a;
  t.sipc.push_back(std::move(a));
  t.sip.push_back(std::move(b));
  t.sip_same_shape.push_back(std::move(c));
}

}  // namespace

traffic make_traffic(int count) {
  traffic t;
  const std::string list = contact_list(20);
  for (int i = 0; i < count; ++i) {
    const int id = 10 + i;
    const std::string from = "sip:" + std::to_string(600000000 + i % 50) + "@tavrin.test;p=3001";
    switch (i % 10) {
      case 0:  // command answer with a contact list
        build(t, id, 200, "S", "INFO", {{kX, "600"}}, list);
        break;
      case 1:  // keep-alive answer
        build(t, id, 200, "R", "REGISTER", {{kX, "600"}}, {});
        break;
      case 2:  // chat line
        build(t, id, 0, "M", "MESSAGE", {{kF, from}, {kC, "text/plain"}, {kK, "SaveHistory"}},
              "See you at eight? 晚上八点见。");
        break;
      case 3:  // delivery answer of a sent line
        build(t, id, 280, "M", "MESSAGE", {{kT, from}}, {});
        break;
      default:  // presence events are most of the traffic
        build(t, 2, 0, "BN", "NOTIFY", {{kF, "sip:512345678@tavrin.test"}, {kN, "PresenceV2"}},
              presence(i));
        break;
    }
  }
  return t;
}
