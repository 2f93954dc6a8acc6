#include "doctor/sipc_probe.h"

#include <chrono>

namespace tavrin::cli::doctor {

namespace {

constexpr int32_t kRegistrationCall = 1;
constexpr int32_t kOwnInfoCall = 2;
constexpr auto kLogoutLimit = std::chrono::seconds(2);

// The engine's registration body with the presence of a hidden login
// ("0"): the check stays invisible to the user's contacts.
constexpr const char* kHiddenRegistration =
    "<args><device type=\"PC\" version=\"284571220\" client-version=\"3.3.0370\" />"
    "<caps value=\"simple-im;im-session;temp-group;personal-group\" />"
    "<events value=\"contact;permission;system-message;personal-group\" />"
    "<user-info attributes=\"all\" /><presence><basic value=\"0\" desc=\"\" /></presence></args>";

std::string status_text(const sipc_message& m) {
  std::string text = std::to_string(m.status());
  if (!m.target().empty()) text += " " + m.target();
  return text;
}

bool same_domain(std::string_view a, std::string_view b) {
  return sipc_name_equal(a, b);  // ASCII case-insensitive, as names are
}

}  // namespace

AccountUri split_account_uri(std::string_view uri) {
  if (uri.substr(0, 4) != "sip:") return {};
  const size_t at = uri.find('@');
  if (at == std::string_view::npos) return {};
  const size_t end = uri.find(';', at);
  return {std::string(uri.substr(4, at - 4)),
          std::string(uri.substr(at + 1, end == std::string_view::npos ? end : end - at - 1))};
}

std::string own_info_uri(std::string_view body) {
  const size_t user = body.find("<user ");
  if (user == std::string_view::npos) return {};
  const size_t close = body.find('>', user);
  const std::string_view element =
      body.substr(user, close == std::string_view::npos ? close : close - user);
  const size_t at = element.find(" uri=\"");
  if (at == std::string_view::npos) return {};
  const size_t start = at + 6;
  const size_t end = element.find('"', start);
  if (end == std::string_view::npos) return {};
  return std::string(element.substr(start, end - start));
}

bool SipcProbe::exchange(const sipc_message& request, Deadline deadline, sipc_message* answer,
                         std::string* why) {
  if (!c_.send_all(request.serialise(), deadline, why)) return false;
  for (;;) {
    cutter_.append(c_.received());
    c_.received().clear();
    sipc_message m;
    for (sipc_cut cut; (cut = cutter_.take(m)) != sipc_cut::incomplete;) {
      if (cut == sipc_cut::reset) {
        *why = "the answer cannot be framed (" + std::string(cutter_.reset_reason()) + ")";
        return false;
      }
      if (m.is_response() && m.call_id() == request.call_id() &&
          m.sequence() == request.sequence()) {
        *answer = std::move(m);
        return true;
      }
      // Anything else (a server event) is not this step's business.
    }
    switch (c_.receive(deadline)) {
      case Connection::Got::kData:
        break;
      case Connection::Got::kClosed:
        *why = "the SIP-C proxy closed the connection without an answer";
        return false;
      case Connection::Got::kTimeout:
        *why = deadline.no_answer() + " from the SIP-C proxy";
        return false;
      case Connection::Got::kError:
        *why = c_.error();
        return false;
    }
  }
}

bool SipcProbe::account(const std::string& login_id, Deadline deadline, std::string* number,
                        std::string* detail) {
  // A Tavrin number is its own account: the service answers a lookup before
  // login only for a mobile number (it tells strangers nothing more).
  if (login_id.size() != 11) {
    *number = login_id;
    *detail = login_id + " is a Tavrin number; its account is checked at registration";
    return true;
  }
  const std::string body = "<args><user mobile-no=\"" + login_id + "\" /></args>";
  sipc_message request = sipc_message::request({domain_, login_id}, "S", kOwnInfoCall, 1, body);
  request.add_header("N", "GetUserInfo");
  sipc_message answer;
  if (!exchange(request, deadline, &answer, detail)) return false;
  if (answer.status() == 404) {
    *detail = "the service knows no account " + login_id + " (" + status_text(answer) + ")";
    return false;
  }
  if (answer.status() != 200) {
    *detail = "own-info answered " + status_text(answer);
    return false;
  }
  const std::string uri = own_info_uri(answer.body());
  const AccountUri parts = split_account_uri(uri);
  if (parts.number.size() != 9 || parts.domain.empty()) {
    *detail = "own-info named no usable account uri (\"" + uri + "\")";
    return false;
  }
  if (!same_domain(parts.domain, domain_)) {
    *detail = login_id + " is " + uri + ": the service's domain is " + parts.domain + ", not " +
              domain_ + " (--domain " + parts.domain + ")";
    return false;
  }
  *number = parts.number;
  *detail = login_id + " is " + uri;
  return true;
}

bool SipcProbe::challenge(const std::string& number, Deadline deadline, std::string* detail) {
  number_ = number;
  const sipc_message request =
      sipc_message::request({domain_, number_}, "R", kRegistrationCall, 1, kHiddenRegistration);
  if (!exchange(request, deadline, &challenge_, detail)) return false;
  const std::string* w = challenge_.get_header("W");
  if (challenge_.status() == 401 && w != nullptr && digest_nonce(*w)) {
    *detail = status_text(challenge_) + " with a digest challenge";
    return true;
  }
  *detail = status_text(challenge_);
  switch (challenge_.status()) {
    case 401:
      *detail += " without a usable challenge (no nonce in \"W\")";
      break;
    case 404:
      *detail += ": the service knows no account " + number_;
      break;
    case 400:
      *detail += ": the service could not read the registration";
      break;
    default:
      *detail += ", where a 401 with a digest challenge belongs";
      break;
  }
  return false;
}

bool SipcProbe::digest(const std::string& password, Deadline deadline, std::string* detail) {
  const auto answer_text = digest_answer(challenge_, number_, domain_, password);
  if (!answer_text) {
    *detail = "no digest can be built from the challenge";
    return false;
  }
  sipc_message request = sipc_message::request({domain_, number_}, "R", kRegistrationCall,
                                               challenge_.sequence() + 1, kHiddenRegistration);
  request.add_header("A", *answer_text);
  sipc_message answer;
  if (!exchange(request, deadline, &answer, detail)) return false;
  *detail = status_text(answer);
  switch (answer.status()) {
    case 200: {
      const std::string* x = answer.get_header("X");
      *detail += ": registered" + (x != nullptr ? " for " + *x + " s" : std::string()) +
                 " (hidden), logged out again";
      log_out(Deadline::after(kLogoutLimit));
      return true;
    }
    case 401:
    case 406:
      *detail += ": the password is wrong, or there is no such account";
      return false;
    case 400:
      *detail += ": the service could not read the digest answer";
      return false;
    default:
      *detail += ", where 200 belongs";
      return false;
  }
}

void SipcProbe::log_out(Deadline deadline) {
  sipc_message request =
      sipc_message::request({domain_, number_}, "R", kRegistrationCall, challenge_.sequence() + 2);
  request.add_header("X", "0");
  sipc_message answer;
  std::string ignored;
  exchange(request, deadline, &answer, &ignored);
}

}  // namespace tavrin::cli::doctor
