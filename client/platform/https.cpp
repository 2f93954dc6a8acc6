#include "platform/https.h"

#include <curl/curl.h>

#include <mutex>

namespace tavrin::platform {
namespace {

std::mutex g_mutex;
std::string g_ca_file;  // guarded by g_mutex
std::once_flag g_curl_once;

struct Sink {
  std::string* body;
  size_t max;
};

size_t on_data(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  const size_t room = sink->max > sink->body->size() ? sink->max - sink->body->size() : 0;
  sink->body->append(data, std::min(n, room));
  return n;  // keep reading past the cap; the rest is dropped
}

}  // namespace

void set_default_ca_file(std::string path) {
  std::lock_guard lock(g_mutex);
  g_ca_file = std::move(path);
}

std::string default_ca_file() {
  std::lock_guard lock(g_mutex);
  return g_ca_file;
}

HttpsResult https_get(const std::string& url, const HttpsOptions& options) {
  std::call_once(g_curl_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  HttpsResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.error = "cannot start a transfer";
    return result;
  }
  const std::string ca = options.ca_file.empty() ? default_ca_file() : options.ca_file;
  curl_slist* headers = nullptr;
  for (const auto& h : options.headers) headers = curl_slist_append(headers, h.c_str());
  char errbuf[CURL_ERROR_SIZE] = {};
  Sink sink{&result.body, options.max_body};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!ca.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, ca.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(options.timeout_ms));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_data);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errbuf);
  const CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) {
    result.ok = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  } else {
    result.error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
    result.body.clear();
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace tavrin::platform
