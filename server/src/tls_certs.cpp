#include "tls_certs.h"

#include <fcntl.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "data_folder.h"

namespace tavrin::server {

namespace {

struct Deleter {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(FILE* p) const { std::fclose(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter>;
using CertPtr = std::unique_ptr<X509, Deleter>;
using FilePtr = std::unique_ptr<FILE, Deleter>;

KeyPtr newKey() {
  return KeyPtr(EVP_EC_gen("P-256"));
}

bool addExt(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) return false;
  bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

CertPtr makeCert(EVP_PKEY* key, const char* cn, X509* issuer, EVP_PKEY* issuerKey, bool ca,
                 long serial) {
  CertPtr cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Tavrin local service"), -1, -1,
                             0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                             -1, -1, 0);
  X509* signer = issuer ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  bool ok = true;
  if (ca) {
    ok = addExt(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
         addExt(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
         addExt(cert.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    ok = addExt(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE") &&
         addExt(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
         addExt(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
         addExt(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  }
  if (!ok || X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0) return nullptr;
  return cert;
}

bool writeKey(const std::string& path, EVP_PKEY* key) {
  // Made 0600 from the start: never readable by others, not even briefly.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  fchmod(fd, 0600);
  FilePtr f(fdopen(fd, "wb"));
  if (!f) {
    ::close(fd);
    return false;
  }
  return PEM_write_PrivateKey(f.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
}

bool writeCert(const std::string& path, X509* cert) {
  FilePtr f(std::fopen(path.c_str(), "wb"));
  return f && PEM_write_X509(f.get(), cert) == 1;
}

}  // namespace

std::string ensureCertificates(const std::string& dir) {
  namespace fs = std::filesystem;
  // The private keys are as secret as the database: keys and folder from an
  // older run that left them readable to others are narrowed too.
  if (std::string err = prepareDataFolder(dir); !err.empty()) return err;
  for (const char* key : {"/ca-key.pem", "/server-key.pem"})
    if (std::string err = narrowFile(dir + key); !err.empty()) return err;
  if (fs::exists(dir + "/ca.pem") && fs::exists(dir + "/server.pem") &&
      fs::exists(dir + "/server-key.pem"))
    return {};
  KeyPtr caKey = newKey(), serverKey = newKey();
  if (!caKey || !serverKey) return "cannot make keys";
  CertPtr ca = makeCert(caKey.get(), "Tavrin local CA", nullptr, nullptr, true, 1);
  if (!ca) return "cannot make the CA certificate";
  CertPtr server = makeCert(serverKey.get(), "localhost", ca.get(), caKey.get(), false, 2);
  if (!server) return "cannot make the server certificate";
  if (!writeKey(dir + "/ca-key.pem", caKey.get()) || !writeCert(dir + "/ca.pem", ca.get()) ||
      !writeKey(dir + "/server-key.pem", serverKey.get()) ||
      !writeCert(dir + "/server.pem", server.get()))
    return "cannot write certificates into " + dir;
  return {};
}

}  // namespace tavrin::server
