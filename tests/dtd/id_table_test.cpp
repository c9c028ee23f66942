// The table of ID values: how often each value occurs, for documents small
// and large (the table is built one way for a few values and another for
// many), values whose hashes are equal, and values that differ only in
// length.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "lumora/dtd/id_table.h"
#include "lumora/framework/sysutils.h"
#include "parser/parser_testing.h"

namespace lumora::testing {
namespace {

// A document of elements b under a with these values of the ID attribute
// id; the other attributes, r (IDREF) and t (CDATA), are not counted.
std::unique_ptr<TKaXMLDocument> WithIDs(const std::vector<std::string>& ids) {
  std::string text =
      "<!DOCTYPE a [<!ELEMENT a (b)*><!ELEMENT b (b)*>"
      "<!ATTLIST b id ID #IMPLIED r IDREF #IMPLIED t CDATA #IMPLIED>]><a>";
  for (size_t i = 0; i < ids.size(); ++i) {
    // Some elements nest, and some values also stand in other attributes.
    text += "<b t='" + ids[i] + "' id='" + ids[i] + "' r='" + ids[i] + "x'>";
    if (i % 3 != 0) text += "</b>";
    if (i % 3 == 2) text += "</b>";
  }
  if (ids.size() % 3 != 0) text += "</b>";
  return ParseText(text + "</a>", true);
}

void ExpectCounts(const std::vector<std::string>& ids, const std::vector<std::string>& absent) {
  auto doc = WithIDs(ids);
  const TIDTable table(*doc->GetDocumentElement(), *doc->GetDocumentType());
  std::map<std::string, int> expected;
  for (const std::string& id : ids) ++expected[id];
  for (const auto& [id, count] : expected)
    ASSERT_EQ(table.Count(SystemToWide(id)), count) << id << " of " << ids.size();
  for (const std::string& id : absent) EXPECT_EQ(table.Count(SystemToWide(id)), 0) << id;
  EXPECT_EQ(table.HasDuplicates(), expected.size() < ids.size());
}

TEST(IDTable, CountsEveryValueAtEverySize) {
  // Sizes on either side of where the table changes how it sorts.
  for (const size_t size : {0, 1, 2, 7, 600, 5000, 20000}) {
    SCOPED_TRACE(size);
    std::vector<std::string> ids;
    for (size_t i = 0; i < size; ++i) {
      // Every seventh value repeats an earlier one, some of them many times.
      ids.push_back("v" + std::to_string(i % 7 == 6 ? i % 5 : i));
    }
    ExpectCounts(ids, {"v", "w1", "v" + std::to_string(size), "v1x", "V1"});
    // The same values without the repeats.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    ExpectCounts(ids, {"v", "w1", "v" + std::to_string(size)});
  }
}

TEST(IDTable, ValuesOfEqualHashStayApart) {
  // id16371 and id35681 have the same 32-bit hash, as do id61409 and
  // id73880: each pair lands in one run of the sorted values.
  for (const size_t size : {0, 6000}) {
    std::vector<std::string> ids;
    for (size_t i = 0; i < size; ++i) ids.push_back("f" + std::to_string(i));
    for (const char* id : {"id16371", "id35681", "id35681", "id61409", "id16371", "id35681"})
      ids.push_back(id);
    ExpectCounts(ids, {"id73880", "id51138", "id175973"});
  }
}

TEST(IDTable, OnlyAttributesDeclaredIDCount) {
  auto doc = ParseText(
      "<!DOCTYPE a [<!ATTLIST a i ID #IMPLIED><!ATTLIST c i CDATA #IMPLIED>]>"
      "<a i='x'><c i='y'/><d i='z'/></a>",
      true);
  const TIDTable table(*doc->GetDocumentElement(), *doc->GetDocumentType());
  EXPECT_EQ(table.Count(u"x"), 1);
  EXPECT_EQ(table.Count(u"y"), 0);
  EXPECT_EQ(table.Count(u"z"), 0);
}

}  // namespace
}  // namespace lumora::testing
