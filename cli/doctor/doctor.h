// tavrin-cli --doctor: checks, one step at a time, what a login with the
// given connection options needs, and says which step fails and why:
//
//   signin         the HTTPS sign-in lookup (--signin with an 11-digit --user)
//   resolve        the names connected to directly (navigation server, proxy,
//                  SIP-C proxy given by --server)
//   nav-connect    TCP to the navigation server          } without --server
//   navigation     its answer and the SIP-C proxy it names }
//   sipc-connect   TCP to the SIP-C proxy, or with --proxy:
//   proxy-connect  TCP to the HTTP or SOCKS5 proxy, and
//   proxy          its handshake, with the proxy's own answer
//   account        own-info: the service knows the id, under this domain
//   challenge      the first registration and its digest challenge
//   digest         the digest answer (with a password), then a logout
//
// Each step prints one line (step, ok/FAILED/skipped, milliseconds, detail)
// or, with --json, one object; the run stops at the first failure. Main
// thread; it blocks, every wait bounded.
#pragma once

#include <string>

#include "options.h"

namespace tavrin::cli {

// Exit status of a doctor run where a step failed (the login's failure
// status: a login would fail there too). 0 when every step passed, 1 for
// options the engine refuses.
inline constexpr int kExitDoctorStepFailed = 2;

// The password may be empty: then the sign-in lookup and the digest step
// are skipped.
int run_doctor(const Options& options, const std::string& password);

}  // namespace tavrin::cli
