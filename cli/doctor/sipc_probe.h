// The doctor's SIP-C exchanges over one connection to the SIP-C proxy
// (direct or through a tunnel): the own-info request that says whether the
// service knows the account and under which domain, the first registration
// and its digest challenge, and the second registration with the digest
// answer, followed by a logout. Requests are built, answers cut and the
// digest computed with the engine's codec, as a login does.
//
// The registration announces the user hidden, so contacts see nobody come
// and go; a successful one still ends another session of the same account,
// as any login does. One thread; blocking within each deadline.
#pragma once

#include <string>

#include "doctor/codec.h"
#include "doctor/connection.h"

namespace tavrin::cli::doctor {

// From a uri "sip:NUMBER@DOMAIN;p=1": the number and the domain (empty
// when the uri has another form).
struct AccountUri {
  std::string number, domain;
};
AccountUri split_account_uri(std::string_view uri);
// The uri attribute of an own-info answer's user element; empty when none.
std::string own_info_uri(std::string_view body);

class SipcProbe {
 public:
  SipcProbe(Connection& c, std::string domain) : c_(c), domain_(std::move(domain)) {}

  // GetUserInfo for a 9-digit number or an 11-digit mobile number. True when
  // the service knows the account under this probe's domain; *number is its
  // 9-digit number. *detail says what the service answered either way.
  bool account(const std::string& login_id, Deadline deadline, std::string* number,
               std::string* detail);
  // The first registration; true for a 401 whose "W" carries a nonce.
  bool challenge(const std::string& number, Deadline deadline, std::string* detail);
  // The second registration, answering the challenge; true for 200, after
  // which the probe logs out again.
  bool digest(const std::string& password, Deadline deadline, std::string* detail);

 private:
  // Sends the request and waits for the answer with its call id and
  // sequence; false with why.
  bool exchange(const sipc_message& request, Deadline deadline, sipc_message* answer,
                std::string* why);
  void log_out(Deadline deadline);

  Connection& c_;
  std::string domain_;
  std::string number_;
  sipc_stream_cutter cutter_;
  sipc_message challenge_;  // the 401 the digest answers
};

}  // namespace tavrin::cli::doctor
