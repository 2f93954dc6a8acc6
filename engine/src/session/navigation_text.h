// The texts of navigation, apart from the exchange: the request the engine
// sends to the navigation server and its reading of the "sipc-proxy" in the
// answer (and of its "sipc-tls-proxy"). No state and no sockets, so they belong to the codec library and
// tavrin-cli's doctor asks exactly as a login does. Any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The request text for a 9- or 11-character login id; empty for any other.
std::string navigation_request(std::string_view login_id, std::string_view nav_host);

// The text between the sipc-proxy tags, or nothing.
std::optional<std::string> extract_sipc_proxy(std::string_view body);
// The text between the sipc-tls-proxy tags (the service's SIP-C over TLS,
// which a newer service names beside the plain one), or nothing.
std::optional<std::string> extract_sipc_tls_proxy(std::string_view body);

}  // namespace tavrin
