#include "lumora/lex/symbol_table.h"

#include <gtest/gtest.h>

#include <string>

#include "lumora/dom/node.h"
#include "lumora/lex/parse_stack.h"
#include "lumora/lex/token_codes.h"
#include "lumora/text/wide_strings.h"

namespace lumora {
namespace {

void LoadKeywords(TSymTab& table) {
  for (const TKeywordEntry& keyword : kMarkupKeywords) table.Insert(keyword.Lexem, keyword.Code);
}

TEST(SymTab, BucketsAndIndexesFollowTheHash) {
  // h = h * 16 + upper-cased unit, modulo 65536, then modulo 211.
  uint16_t h = 0;
  for (char16_t c : std::u16string_view(u"<!doctype"))
    h = static_cast<uint16_t>(h * 16 + WUpCase(c));
  EXPECT_EQ(TSymTab::hash(u"<!doctype"), h % 211);
  EXPECT_EQ(TSymTab::hash(u"<!doctype"), TSymTab::hash(u"<!DOCTYPE"));
  // Long texts of every kind of unit land where the whole formula puts them.
  std::u16string text;
  for (int n = 0; n < 300; ++n) {
    text += static_cast<char16_t>((n * 7919 + 13) % 0xFFFF);
    uint16_t full = 0;
    for (char16_t c : text) full = static_cast<uint16_t>(full * 16 + WUpCase(c));
    ASSERT_EQ(TSymTab::hash(text), full % 211) << n;
  }

  TSymTab table;
  const int bucket = TSymTab::hash(u"item");
  const int32_t first = table.Insert(u"item", tkName);
  const int32_t second = table.Insert(u"ITEM", tkName);
  EXPECT_EQ(first, bucket);
  EXPECT_EQ(second, bucket + 256);
  EXPECT_EQ(table.GetLexem(second), u"ITEM");
  EXPECT_EQ(table.GetToken(first), tkName);
  EXPECT_EQ(table.Entry(first).GetIndex(), -1);
  // Text is kept up to its first U+0000.
  EXPECT_EQ(table.GetLexem(table.Insert(std::u16string(u"ab\0cd", 5), tkText)), u"ab");
  EXPECT_THROW(table.Entry(-1), std::out_of_range);
  EXPECT_THROW(table.Entry(bucket + 256 * 7), std::out_of_range);
}

TEST(SymTab, LookupIgnoresCaseAndFindsTheFirstEntry) {
  TSymTab table;
  LoadKeywords(table);
  const int32_t doctype = table.Lookup(u"<!doctype");
  ASSERT_GE(doctype, 0);
  EXPECT_EQ(table.GetToken(doctype), tkDocTypeStart);
  EXPECT_EQ(table.GetLexem(doctype), u"<!DOCTYPE");
  EXPECT_EQ(table.Lookup(u"<!DOCTYPEX"), -1);
  // A later equal markup entry does not hide the first.
  table.Insert(u"<!doctype", tkUnknownMarkup);
  EXPECT_EQ(table.Lookup(u"<!DocType"), doctype);
}

// Names, literals and texts are only stored: a literal "]" must not make a
// later "]" of the markup a literal.
TEST(SymTab, StoredTextsAreNeverLookedUp) {
  TSymTab table;
  LoadKeywords(table);
  table.Insert(u"]", tkLiteral);
  table.Insert(u"=", tkText);
  table.Insert(u"<!x", tkName);
  EXPECT_EQ(table.Lookup(u"]"), -1);
  EXPECT_EQ(table.Lookup(u"="), -1);
  const int32_t bracket = table.Insert(u"]", ']');
  EXPECT_EQ(table.Lookup(u"]"), bracket);
}

TEST(SymTab, LookupStaysCorrectAsTheTableFills) {
  TSymTab table;
  LoadKeywords(table);
  for (int i = 0; i < 200000; ++i) {
    const std::u16string text = u"n" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                                std::u16string(static_cast<size_t>(i % 5), u'x');
    table.Insert(text, tkName);
    if (i % 1000 == 0)
      table.Insert(u"<!m" + std::u16string(static_cast<size_t>(i / 1000), u'q'), tkUnknownMarkup);
  }
  for (const TKeywordEntry& keyword : kMarkupKeywords) {
    const int32_t index = table.Lookup(keyword.Lexem);
    ASSERT_GE(index, 0);
    EXPECT_EQ(table.GetToken(index), keyword.Code);
  }
  const int32_t markup = table.Lookup(u"<!MQQQ");
  ASSERT_GE(markup, 0);
  EXPECT_EQ(table.GetLexem(markup), u"<!mqqq");
  EXPECT_EQ(table.Lookup(u"nax"), -1);
}

// A host may replace the comparison slot; Lookup then follows it.
TEST(SymTab, LookupFollowsAReplacedComparison) {
  TSymTab table;
  LoadKeywords(table);
  const TXMLCompareFunc saved = XMLCompareText;
  XMLCompareText = WCompareStr;
  EXPECT_EQ(table.Lookup(u"<!doctype"), -1);
  EXPECT_GE(table.Lookup(u"<!DOCTYPE"), 0);
  XMLCompareText = saved;
  EXPECT_GE(table.Lookup(u"<!doctype"), 0);
}

TEST(XMLStack, PushPopAndHead) {
  TXMLStack stack;
  EXPECT_EQ(stack.GetHead(), nullptr);
  EXPECT_EQ(stack.Pop(), u"");  // an empty stack stays empty
  TKaXMLNode node(u"item", ELEMENT_NODE, nullptr);
  stack.Push(&node);
  stack.Push(nullptr);
  EXPECT_EQ(stack.GetHead(), nullptr);
  EXPECT_EQ(stack.Pop(), u"");
  EXPECT_EQ(stack.GetHead(), &node);
  EXPECT_EQ(stack.Pop(), u"item");
  EXPECT_TRUE(stack.IsEmpty());
}

TEST(XMLStack, DeepStackIsFreedWithoutRecursion) {
  auto stack = std::make_unique<TXMLStack>();
  for (int i = 0; i < 1000000; ++i) stack->Push(nullptr);
  stack.reset();
}

}  // namespace
}  // namespace lumora

namespace lumora {
namespace {

TEST(SymTab, KeptLexemesCountLikeInsertedOnesAndLiveLongEnough) {
  TSymTab kept, full;
  std::vector<std::u16string> texts;
  for (int i = 0; i < 600; ++i)
    texts.push_back(u"text" + std::u16string(1, u'a' + i % 26) +
                    std::u16string(static_cast<size_t>(i % 7), u'x'));
  std::vector<const TSTEntry*> entries;
  for (size_t i = 0; i < texts.size(); ++i) {
    // Markup between the texts takes positions in the same buckets.
    if (i % 5 == 0) {
      EXPECT_EQ(kept.Insert(u"<!x", tkUnknownMarkup), full.Insert(u"<!x", tkUnknownMarkup));
    }
    int32_t index = -1;
    entries.push_back(&kept.KeepLexeme(texts[i], tkText, index));
    EXPECT_EQ(index, full.Insert(texts[i], tkText));
    EXPECT_THROW(kept.Entry(index), std::out_of_range);
    // The last kKeptLexemes texts are all still readable.
    for (size_t back = 0; back < TSymTab::kKeptLexemes && back <= i; ++back)
      ASSERT_EQ(entries[i - back]->GetLexem(), texts[i - back]);
  }
  EXPECT_EQ(kept.Count(), full.Count());
  // Entries inserted for good are still found between kept ones.
  EXPECT_EQ(kept.GetLexem(kept.Lookup(u"<!X")), u"<!x");
  // A lexeme handed over leaves its buffer empty, and reads as kept.
  std::u16string buffer = u"handed over";
  int32_t index = -1;
  const TSTEntry& taken = kept.TakeLexeme(buffer, tkText, index);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(taken.GetLexem(), u"handed over");
  EXPECT_EQ(index, full.Insert(u"handed over", tkText));
}

TEST(SymTab, ShortMarkupIsFoundLikeAnyOther) {
  TSymTab table;
  LoadKeywords(table);
  const int32_t first = table.Lookup(u"/>");
  EXPECT_EQ(table.GetToken(first), tkEmptyTagEnd);
  table.Insert(u"/>", tkUnknownMarkup);  // a later equal text is never found
  EXPECT_EQ(table.Lookup(u"/>"), first);
  EXPECT_EQ(table.GetToken(table.Lookup(u"?")), '?');
  EXPECT_EQ(table.Lookup(u"q"), -1);
  const int32_t q = table.Insert(u"q", 'q');
  EXPECT_EQ(table.Lookup(u"Q"), q);  // case ignored for ASCII letters
  EXPECT_EQ(table.Lookup(u"\u00E9"), -1);
  EXPECT_EQ(table.Lookup(std::u16string_view(u"<\0x", 3)), table.Lookup(u"<"));
}

}  // namespace
}  // namespace lumora
