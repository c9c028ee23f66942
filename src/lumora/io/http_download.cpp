#include "lumora/io/http_download.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "lumora/io/url.h"

namespace lumora {

namespace {

// curl_global_init is not thread-safe itself: run it once per process.
bool CurlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

struct TBody {
  std::string* Bytes;
  size_t MaxBytes;
};

// Stops the transfer (by taking less than offered) once the body would pass
// the limit.
size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<TBody*>(user);
  const size_t bytes = size * count;
  if (bytes > body->MaxBytes - body->Bytes->size()) return 0;
  body->Bytes->append(data, bytes);
  return bytes;
}

struct TCurlCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

bool DownloadURL(const std::string& Url, const TResourceOptions& Options, TResource& Resource) {
  if (!Options.AllowNetwork || !CurlReady()) return false;
  std::unique_ptr<CURL, TCurlCleanup> curl(curl_easy_init());
  if (!curl) return false;
  CURL* h = curl.get();
  Resource.Bytes.clear();
  TBody body{&Resource.Bytes, Options.MaxBytes};
  curl_easy_setopt(h, CURLOPT_URL, Url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
#else
  curl_easy_setopt(h, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FTP);
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FTP);
#endif
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, Options.ConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, Options.TotalTimeoutMs);
  // Timeouts without signals, so that a parse in one thread leaves the
  // others alone.
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(Options.MaxBytes));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(h, CURLOPT_USERAGENT, "lumora");
  // A compressed body is unpacked before it is counted against the limit.
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
  // Anything short of the whole body (a cut connection, a body shorter than
  // announced) is a failure: half a DTD would be read as a different one.
  if (curl_easy_perform(h) != CURLE_OK) {
    Resource.Bytes.clear();
    return false;
  }
  char* effective = nullptr;
  curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
  Resource.Location = effective ? effective : Url;
  // An error page is not the resource, and neither is a redirect without a
  // place to go.
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (UrlScheme(Resource.Location).starts_with("http") && status >= 300) {
    Resource.Bytes.clear();
    return false;
  }
  return true;
}

}  // namespace lumora
