// Downloads an http, https or ftp URL with libcurl, within the limits of the
// resource options.
#pragma once

#include <string>

#include "lumora/io/resource_loader.h"

namespace lumora {

// Fills Resource with the body of Url and its Location with the address
// finally read (after redirects). False on any failure: no network allowed,
// a status of 400 or more, more than five redirects or one to another
// scheme, a timeout, a body over the size limit, a read cut short.
bool DownloadURL(const std::string& Url, const TResourceOptions& Options, TResource& Resource);

}  // namespace lumora
