#include "platform/signin_lookup.h"

#include "platform/https.h"

namespace tavrin::platform {

std::string signin_url(std::string_view base_url, std::string_view mobile,
                       std::string_view password) {
  std::string url(base_url);
  while (!url.empty() && url.back() == '/') url.pop_back();
  url += "/ssiportal/SSIAppSignIn.aspx?mobileno=";
  url += mobile;
  url += "&pwd=";
  url += password;
  return url;
}

std::string extract_signin_number(std::string_view reply) {
  const size_t sip = reply.find("sip:");
  if (sip == std::string_view::npos) return {};
  const size_t from = sip + 4;
  const size_t at = reply.find('@', from);
  if (at == std::string_view::npos) return {};
  return std::string(reply.substr(from, at - from));
}

SigninLookup signin_lookup(std::string_view base_url, std::string_view mobile,
                           std::string_view password, const std::string& ca_file,
                           int timeout_ms) {
  SigninLookup out;
  if (base_url.empty()) {
    out.error = "no sign-in address configured";
    return out;
  }
  HttpsOptions options;
  options.ca_file = ca_file;
  options.headers = {"Content-Type: application/x-www-form-urlencoded"};
  options.timeout_ms = timeout_ms;
  options.max_body = kSigninReplyLimit;
  const HttpsResult reply = https_get(signin_url(base_url, mobile, password), options);
  if (!reply.ok) {
    out.error = reply.error;
    return out;
  }
  if (reply.status / 100 != 2) {
    out.error = "the sign-in server answered " + std::to_string(reply.status);
    return out;
  }
  out.tavrin_number = extract_signin_number(reply.body);
  out.ok = !out.tavrin_number.empty();
  if (!out.ok) out.error = "the sign-in reply names no number";
  return out;
}

}  // namespace tavrin::platform
