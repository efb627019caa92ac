#include "bare_transfer.h"

#include <curl/curl.h>

#include <stdexcept>

namespace {

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

std::string BareTransfer(const std::string& url, const std::string& post, bool gzip) {
  std::string body;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) throw std::runtime_error("curl_easy_init");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  if (gzip) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
  if (!post.empty()) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post.size()));
  }
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK || status != 200) throw std::runtime_error("bare transfer failed");
  return body;
}
