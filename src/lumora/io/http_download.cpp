#include "lumora/io/http_download.h"

namespace lumora {

bool DownloadURL(const std::string& /*Url*/, const TResourceOptions& /*Options*/,
                 TResource& /*Resource*/) {
  return false;
}

}  // namespace lumora
