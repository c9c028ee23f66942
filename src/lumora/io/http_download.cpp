#include "lumora/io/http_download.h"

// The functions are called through pointers, which the header's type-checking
// macros would not let through.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>
#include <mutex>

#include "lumora/io/url.h"

namespace lumora {

namespace {

// libcurl and the dozens of libraries it brings are loaded on the first
// download, not with lumora: most parses never reach the network, and
// loading them costs every process more than parsing a small document.
struct TCurlApi {
  decltype(&curl_global_init) GlobalInit = nullptr;
  decltype(&curl_easy_init) EasyInit = nullptr;
  decltype(&curl_easy_setopt) EasySetopt = nullptr;
  decltype(&curl_easy_perform) EasyPerform = nullptr;
  decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
  decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
};

template <class F>
bool Bind(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

// The library, once per process (curl_global_init is not thread-safe
// itself); nil when it cannot be loaded or initialized.
const TCurlApi* Curl() {
  static std::once_flag once;
  static TCurlApi api;
  static bool ready = false;
  std::call_once(once, [] {
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    ready = Bind(library, "curl_global_init", api.GlobalInit) &&
            Bind(library, "curl_easy_init", api.EasyInit) &&
            Bind(library, "curl_easy_setopt", api.EasySetopt) &&
            Bind(library, "curl_easy_perform", api.EasyPerform) &&
            Bind(library, "curl_easy_getinfo", api.EasyGetinfo) &&
            Bind(library, "curl_easy_cleanup", api.EasyCleanup) &&
            api.GlobalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  });
  return ready ? &api : nullptr;
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
  void operator()(CURL* handle) const { Curl()->EasyCleanup(handle); }
};

}  // namespace

bool DownloadURL(const std::string& Url, const TResourceOptions& Options, TResource& Resource) {
  const TCurlApi* api = Options.AllowNetwork ? Curl() : nullptr;
  if (!api) return false;
  std::unique_ptr<CURL, TCurlCleanup> curl(api->EasyInit());
  if (!curl) return false;
  CURL* h = curl.get();
  Resource.Bytes.clear();
  TBody body{&Resource.Bytes, Options.MaxBytes};
  api->EasySetopt(h, CURLOPT_URL, Url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
  api->EasySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  api->EasySetopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
#else
  api->EasySetopt(h, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FTP);
  api->EasySetopt(h, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FTP);
#endif
  api->EasySetopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  api->EasySetopt(h, CURLOPT_MAXREDIRS, 5L);
  api->EasySetopt(h, CURLOPT_CONNECTTIMEOUT_MS, Options.ConnectTimeoutMs);
  api->EasySetopt(h, CURLOPT_TIMEOUT_MS, Options.TotalTimeoutMs);
  // Timeouts without signals, so that a parse in one thread leaves the
  // others alone.
  api->EasySetopt(h, CURLOPT_NOSIGNAL, 1L);
  api->EasySetopt(h, CURLOPT_FAILONERROR, 1L);
  api->EasySetopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(Options.MaxBytes));
  api->EasySetopt(h, CURLOPT_WRITEFUNCTION, AppendBody);
  api->EasySetopt(h, CURLOPT_WRITEDATA, &body);
  api->EasySetopt(h, CURLOPT_USERAGENT, "lumora");
  // A compressed body is unpacked before it is counted against the limit.
  api->EasySetopt(h, CURLOPT_ACCEPT_ENCODING, "");
  // Anything short of the whole body (a cut connection, a body shorter than
  // announced) is a failure: half a DTD would be read as a different one.
  if (api->EasyPerform(h) != CURLE_OK) {
    Resource.Bytes.clear();
    return false;
  }
  char* effective = nullptr;
  api->EasyGetinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
  Resource.Location = effective ? effective : Url;
  // An error page is not the resource, and neither is a redirect without a
  // place to go.
  long status = 0;
  api->EasyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (UrlScheme(Resource.Location).starts_with("http") && status >= 300) {
    Resource.Bytes.clear();
    return false;
  }
  return true;
}

}  // namespace lumora
