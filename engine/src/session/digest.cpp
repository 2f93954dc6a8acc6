#include "session/digest.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "sipc/message.h"

namespace tavrin {

namespace {
constexpr std::string_view kNonceSeed = "linux for tavrin of morvik";
constexpr std::string_view kNonceOpen = "nonce=\"";
}  // namespace

md5_value md5_raw(const void* bytes, std::size_t length) {
  md5_value out{};
  unsigned int n = 0;
  // EVP_Digest only fails when libcrypto itself is unusable.
  if (EVP_Digest(bytes, length, out.data(), &n, EVP_md5(), nullptr) != 1 || n != out.size())
    throw std::runtime_error("md5 unavailable");
  return out;
}

std::string hex_upper(const void* bytes, std::size_t length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* p = static_cast<const uint8_t*>(bytes);
  std::string out(length * 2, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    out[2 * i] = kDigits[p[i] >> 4];
    out[2 * i + 1] = kDigits[p[i] & 0x0f];
  }
  return out;
}

std::string md5_hex(const void* bytes, std::size_t length) {
  md5_value v = md5_raw(bytes, length);
  return hex_upper(v.data(), v.size());
}

std::string digest_client_nonce() {
  return md5_hex(kNonceSeed);
}

std::optional<std::string> digest_nonce(std::string_view challenge) {
  std::size_t open = challenge.find(kNonceOpen);
  if (open == std::string_view::npos) return std::nullopt;
  std::size_t start = open + kNonceOpen.size();
  std::size_t close = challenge.find('"', start);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(challenge.substr(start, close - start));
}

std::optional<std::string> digest_answer(std::string_view challenge, std::string_view login_id,
                                         std::string_view sip_domain, std::string_view password) {
  std::optional<std::string> nonce = digest_nonce(challenge);
  if (!nonce) return std::nullopt;
  const std::string cnonce = digest_client_nonce();

  std::string text;
  text.append(login_id).append(":").append(sip_domain).append(":").append(password);
  const md5_value key = md5_raw(text);

  text.assign(reinterpret_cast<const char*>(key.data()), key.size());
  text.append(":").append(*nonce).append(":").append(cnonce);
  const std::string h1 = md5_hex(text);

  text.assign("REGISTER:").append(login_id);
  const std::string h2 = md5_hex(text);

  text.assign(h1).append(":").append(*nonce).append(":").append(h2);
  const std::string response = md5_hex(text);

  return "Digest response=\"" + response + "\",cnonce=\"" + cnonce + "\"";
}

std::optional<std::string> digest_answer(const sipc_message& challenge, std::string_view login_id,
                                         std::string_view sip_domain, std::string_view password) {
  const std::string* w = challenge.get_header("W");
  if (w == nullptr) return std::nullopt;
  return digest_answer(*w, login_id, sip_domain, password);
}

}  // namespace tavrin
