#include "endpoints.h"

#include "log.h"
#include "metrics.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {

// Value of a query key; the client sends number and password as typed, so
// the password runs to the end of the query (it may hold '&').
std::string queryValue(const std::string& query, const std::string& key, bool toEnd) {
  size_t at = 0;
  while ((at = query.find(key + "=", at)) != std::string::npos) {
    if (at == 0 || query[at - 1] == '&' || query[at - 1] == '?') break;
    ++at;
  }
  if (at == std::string::npos) return {};
  size_t begin = at + key.size() + 1;
  size_t end = toEnd ? std::string::npos : query.find('&', begin);
  return query.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

HttpReply navigationReply(const HttpRequest& r, const std::string& sipcAddress, int sipcPort,
                          const std::string& signinUrl, int sipcTlsPort) {
  std::string path = r.target.substr(0, r.target.find('?'));
  if (path != "/nav/getsystemconfig.aspx") return {404, "Not Found", "text/plain", "not found\n"};
  if (r.method != "POST") return {405, "Method Not Allowed", "text/plain", "use POST\n"};
  HttpReply reply;
  reply.contentType = "text/xml; charset=utf-8";
  // Older clients read the first "sipc-proxy" they find: the TLS element's
  // name does not contain it and comes after.
  reply.body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><config><servers version=\"1\">";
  if (sipcPort > 0)
    reply.body += "<sipc-proxy>" + sipcAddress + ":" + std::to_string(sipcPort) + "</sipc-proxy>";
  if (sipcTlsPort > 0)
    reply.body += "<sipc-tls-proxy>" + sipcAddress + ":" + std::to_string(sipcTlsPort) +
                  "</sipc-tls-proxy>";
  reply.body += "<ssi-app-sign-in>" + xmlEscape(signinUrl) + "</ssi-app-sign-in></servers></config>";
  return reply;
}

HttpReply signinReply(const HttpRequest& r, Store& store, LoginThrottle* throttle) {
  size_t q = r.target.find('?');
  std::string path = r.target.substr(0, q);
  if (path != "/ssiportal/SSIAppSignIn.aspx")
    return {404, "Not Found", "text/plain", "not found\n"};
  std::string query = q == std::string::npos ? std::string() : r.target.substr(q + 1);
  std::string mobile = queryValue(query, "mobileno", false);
  std::string password = queryValue(query, "pwd", true);
  if (!isMobileNumber(mobile) || password.empty())
    return {400, "Bad Request", "text/xml", "<results status-code=\"400\" />"};
  auto a = store.accountByMobile(mobile);
  const auto now = LoginThrottle::Clock::now();
  if (throttle && throttle->lockedFor(a ? a->number : 0, r.peer, now) >
                      LoginThrottle::Clock::duration::zero())
    return {403, "Forbidden", "text/xml", "<results status-code=\"403\" />"};
  // An unknown number is answered as a wrong password, after the same work,
  // so the answer does not tell which numbers have an account.
  Account nobody;
  nobody.number = 100000000;
  nobody.keyHex = std::string(32, '0');
  if (!store.checkPassword(a ? *a : nobody, password) || !a) {
    ++metrics().loginFailures;
    const auto lock = !throttle ? LoginThrottle::Clock::duration::zero()
                      : a       ? throttle->failed(a->number, r.peer, now)
                                : throttle->failedUnknown(r.peer, now);
    if (lock > LoginThrottle::Clock::duration::zero()) {
      ++metrics().loginLocks;
      logAt(0, "sign-in: repeated wrong passwords for %s, locked", mobile.c_str());
    }
    return {401, "Unauthorized", "text/xml", "<results status-code=\"401\" />"};
  }
  // A disabled account's owner learns it only with the right password.
  if (a->disabled) return {403, "Forbidden", "text/xml", "<results status-code=\"403\" />"};
  if (throttle) throttle->succeeded(a->number, r.peer);
  HttpReply reply;
  reply.contentType = "text/xml; charset=utf-8";
  reply.body = "<results status-code=\"200\"><user uri=\"" +
               xmlEscape(userUri(a->number, store.domain())) + "\" mobile-no=\"" + a->mobile +
               "\" user-id=\"" + std::to_string(a->number) + "\" /></results>";
  return reply;
}

}  // namespace tavrin::server
