// The DTD and entity files that a write puts beside the document it writes.
//
// They go into the folder of the output file and nowhere else: a system
// literal that is a plain file name names the file, any other (absolute, a
// URL, a path that climbs or has folders) gives its last plain segment, and
// what gives none falls back to a name made from the declaration. A side
// file never replaces the output file, a file the document was read from,
// or another side file of the same write: a number is added to its name
// instead. Each file holds UTF-16LE text after the byte-order mark FF FE.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/framework/stream.h"

namespace lumora {

class TSideFiles {
 public:
  // Files go beside OutputFile; ReadLocations are the files (and URLs,
  // which never clash) the document was read from.
  TSideFiles(const std::string& OutputFile, const std::vector<std::string>& ReadLocations);

  // The name (in the output's folder) of a new side file for a declaration
  // whose system literal is Literal; Fallback ("NAME.dtd") when the literal
  // gives no plain name. The identifier written names what this returns.
  std::string Claim(std::u16string_view Literal, const std::string& Fallback);
  // Writes the claimed file Name: the mark, then Text, UTF-16LE as the
  // nodes write it. Raises EFCreateError when it cannot be created and
  // EWriteError when it cannot be written whole.
  void Write(const std::string& Name, TMemoryStream& Text) const;

  // Literal's last plain segment, or "" when it has none: no folders, no
  // scheme, query or fragment, no control characters, not starting with a
  // dot.
  static std::string PlainName(std::u16string_view Literal);

 private:
  bool Taken(const std::string& Name) const;

  std::filesystem::path FFolder;
  std::set<std::filesystem::path> FAvoid;  // canonical paths not to write
  std::set<std::string> FClaimed;
};

}  // namespace lumora
