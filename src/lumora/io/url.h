// The few URL operations the resource loader needs: the scheme of a name,
// resolving a relative reference against a base, file: URLs, and escaping
// the characters a URL may not hold.
#pragma once

#include <string>
#include <string_view>

namespace lumora {

// The scheme in lower case ("http", "file", ...), empty when Name has none.
// A single letter before ":" is a drive, not a scheme.
std::string UrlScheme(std::string_view Name);
// http, https and ftp: what is downloaded.
bool IsNetworkScheme(std::string_view Scheme);

// Reference resolved against the absolute URL Base, as browsers do:
// "../a.dtd" against "http://h/x/y/doc.xml" is "http://h/x/a.dtd".
std::string ResolveURL(std::string_view Base, std::string_view Reference);

// The local path of a file: URL (file:///p, file:/p, file://localhost/p),
// with its %XX escapes decoded; false for another host or no file: URL.
bool FileURLToPath(std::string_view Url, std::string& Path);

// A URL made fit for a request: trimmed, each run of blanks one "_", then
// escaped as EscapeURL does.
std::string NormalizeURL(std::string_view Url);

// Escapes as %XX the bytes a URL may not hold as they are: controls, blanks,
// bytes above 127 and " < > \ ^ ` { | }.
std::string EscapeURL(std::string_view Text);

}  // namespace lumora
