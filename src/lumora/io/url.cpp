#include "lumora/io/url.h"

#include <vector>

#include "lumora/framework/sysutils.h"

namespace lumora {

namespace {

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    int hi, lo;
    if (Text[i] == '%' && i + 2 < Text.size() && (hi = HexValue(Text[i + 1])) >= 0 &&
        (lo = HexValue(Text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += Text[i];
    }
  }
  return out;
}

// The parts of a URL that resolution works on.
struct TUrlParts {
  std::string Scheme;     // with its ":"
  std::string Authority;  // with its "//", empty when none
  bool HasAuthority = false;
  std::string Path;
  std::string Query;     // with its "?"
  std::string Fragment;  // with its "#"
};

TUrlParts SplitURL(std::string_view Url) {
  TUrlParts parts;
  const std::string scheme = UrlScheme(Url);
  if (!scheme.empty()) {
    parts.Scheme = std::string(Url.substr(0, scheme.size() + 1));
    Url.remove_prefix(scheme.size() + 1);
  }
  if (const size_t hash = Url.find('#'); hash != std::string_view::npos) {
    parts.Fragment = std::string(Url.substr(hash));
    Url = Url.substr(0, hash);
  }
  if (const size_t query = Url.find('?'); query != std::string_view::npos) {
    parts.Query = std::string(Url.substr(query));
    Url = Url.substr(0, query);
  }
  if (Url.substr(0, 2) == "//") {
    const size_t slash = Url.find('/', 2);
    parts.HasAuthority = true;
    parts.Authority = std::string(Url.substr(0, slash));
    Url = slash == std::string_view::npos ? std::string_view() : Url.substr(slash);
  }
  parts.Path = std::string(Url);
  return parts;
}

// Drops "." and "x/.." segments of an absolute path.
std::string RemoveDotSegments(std::string_view Path) {
  std::vector<std::string_view> kept;
  size_t start = 0;
  const bool absolute = !Path.empty() && Path[0] == '/';
  if (absolute) start = 1;
  bool trailingSlash = false;
  while (start <= Path.size()) {
    size_t end = Path.find('/', start);
    if (end == std::string_view::npos) end = Path.size();
    const std::string_view segment = Path.substr(start, end - start);
    const bool last = end == Path.size();
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      trailingSlash = true;
    } else if (segment == ".") {
      trailingSlash = true;
    } else {
      kept.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    start = end + 1;
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) out += '/';
    out += kept[i];
  }
  if (trailingSlash && !out.empty() && out.back() != '/') out += '/';
  return out;
}

}  // namespace

std::string UrlScheme(std::string_view Name) {
  size_t i = 0;
  while (i < Name.size() && (IsAlpha(Name[i]) || (i > 0 && (IsDigit(Name[i]) || Name[i] == '+' ||
                                                            Name[i] == '-' || Name[i] == '.'))))
    ++i;
  if (i < 2 || i >= Name.size() || Name[i] != ':') return {};
  return LowerCase(Name.substr(0, i));
}

bool IsNetworkScheme(std::string_view Scheme) {
  return Scheme == "http" || Scheme == "https" || Scheme == "ftp";
}

std::string ResolveURL(std::string_view Base, std::string_view Reference) {
  if (!UrlScheme(Reference).empty()) return std::string(Reference);
  const TUrlParts base = SplitURL(Base);
  const TUrlParts ref = SplitURL(Reference);
  TUrlParts out;
  out.Scheme = base.Scheme;
  if (ref.HasAuthority) {
    out.HasAuthority = true;
    out.Authority = ref.Authority;
    out.Path = RemoveDotSegments(ref.Path);
    out.Query = ref.Query;
  } else {
    out.HasAuthority = base.HasAuthority;
    out.Authority = base.Authority;
    if (ref.Path.empty()) {
      out.Path = base.Path;
      out.Query = ref.Query.empty() ? base.Query : ref.Query;
    } else {
      if (ref.Path[0] == '/') {
        out.Path = RemoveDotSegments(ref.Path);
      } else {
        std::string merged;
        if (base.HasAuthority && base.Path.empty()) {
          merged = "/" + ref.Path;
        } else {
          const size_t slash = base.Path.rfind('/');
          merged = (slash == std::string::npos ? std::string() : base.Path.substr(0, slash + 1)) +
                   ref.Path;
        }
        out.Path = RemoveDotSegments(merged);
      }
      out.Query = ref.Query;
    }
  }
  out.Fragment = ref.Fragment;
  return out.Scheme + out.Authority + out.Path + out.Query + out.Fragment;
}

bool FileURLToPath(std::string_view Url, std::string& Path) {
  if (UrlScheme(Url) != "file") return false;
  std::string_view rest = Url.substr(5);
  if (const size_t cut = rest.find_first_of("?#"); cut != std::string_view::npos)
    rest = rest.substr(0, cut);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return false;
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  if (rest.empty()) return false;
  Path = PercentDecode(rest);
  // A NUL would cut the name short of what the URL says.
  return Path.find('\0') == std::string::npos;
}

std::string NormalizeURL(std::string_view Url) {
  while (!Url.empty() && static_cast<unsigned char>(Url.front()) <= ' ') Url.remove_prefix(1);
  while (!Url.empty() && static_cast<unsigned char>(Url.back()) <= ' ') Url.remove_suffix(1);
  std::string joined;
  joined.reserve(Url.size());
  for (size_t i = 0; i < Url.size(); ++i) {
    if (Url[i] != ' ')
      joined += Url[i];
    else if (Url[i - 1] != ' ')
      joined += '_';
  }
  return EscapeURL(joined);
}

std::string EscapeURL(std::string_view Text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(Text.size());
  for (const char ch : Text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = c > 32 && c < 127 && c != '"' && c != '<' && c != '>' && c != '\\' &&
                       c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace lumora
