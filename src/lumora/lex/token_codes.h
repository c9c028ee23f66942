// The token codes shared by every lexer and grammar. A single character that
// is none of these is its own token: its code is the character's code.
#pragma once

#include <cstdint>

namespace lumora {

constexpr int32_t tkCommentStart = 256;   // "<!--"
constexpr int32_t tkPIStart = 257;        // "<?"
constexpr int32_t tkCDataStart = 258;     // "<![CDATA["
constexpr int32_t tkXMLDeclStart = 259;   // "<?xml"
constexpr int32_t tkDocTypeStart = 260;   // "<!DOCTYPE"
constexpr int32_t tkTagStart = 261;       // "<"
constexpr int32_t tkTagEnd = 262;         // ">"
constexpr int32_t tkEmptyTagEnd = 263;    // "/>"
constexpr int32_t tkEndTagStart = 264;    // "</"
constexpr int32_t tkElementStart = 265;   // "<!ELEMENT"
constexpr int32_t tkAttlistStart = 266;   // "<!ATTLIST"
constexpr int32_t tkCondSectStart = 267;  // "<![": in the table, never produced
constexpr int32_t tkEntityStart = 268;    // "<!ENTITY"
constexpr int32_t tkCommentEnd = 269;     // "-->"
constexpr int32_t tkPIEnd = 270;          // "?>"
constexpr int32_t tkCDataEnd = 271;       // "]]>"
constexpr int32_t tkPCData = 272;         // "#PCDATA"
constexpr int32_t tkRequired = 273;       // "#REQUIRED"
constexpr int32_t tkImplied = 274;        // "#IMPLIED"
constexpr int32_t tkFixed = 275;          // "#FIXED"
constexpr int32_t tkNotationStart = 276;  // "<!NOTATION"

constexpr int32_t tkName = 300;
constexpr int32_t tkLiteral = 302;  // the text between the quotes
constexpr int32_t tkText = 303;     // character data, CDATA, comment or PI data
constexpr int32_t tkNmToken = 307;  // a name token that cannot start a name
constexpr int32_t tkEndOfFile = 400;
constexpr int32_t tkUnknownMarkup = 401;  // "<..." that is none of the above

constexpr int32_t tkPercent = '%';
constexpr int32_t tkEquals = '=';

// The lexemes every lexer's symbol table starts with, in insertion order.
struct TKeywordEntry {
  const char16_t* Lexem;
  int32_t Code;
};
inline constexpr TKeywordEntry kMarkupKeywords[] = {
    {u"<", 261},         {u">", 262},         {u"</", 264},         {u"/>", 263},
    {u"<!--", 256},      {u"-->", 269},       {u"<!DOCTYPE", 260},  {u"<!ELEMENT", 265},
    {u"<!ATTLIST", 266}, {u"<!ENTITY", 268},  {u"<!NOTATION", 276}, {u"<?", 257},
    {u"?>", 270},        {u"<![CDATA[", 258}, {u"]]>", 271},        {u"<?xml", 259},
    {u"<![", 267},       {u"#REQUIRED", 273}, {u"#IMPLIED", 274},   {u"#FIXED", 275},
    {u"#PCDATA", 272},   {u"%", 37},          {u"?", 63},           {u"*", 42},
    {u"+", 43},          {u"(", 40},          {u")", 41},           {u"|", 124},
    {u",", 44},
};
// The lexers take the most frequent markup straight from these entries.
namespace markup {
inline constexpr const TKeywordEntry& kTagStart = kMarkupKeywords[0];
inline constexpr const TKeywordEntry& kTagEnd = kMarkupKeywords[1];
inline constexpr const TKeywordEntry& kEndTagStart = kMarkupKeywords[2];
inline constexpr const TKeywordEntry& kEmptyTagEnd = kMarkupKeywords[3];
inline constexpr const TKeywordEntry& kCommentStart = kMarkupKeywords[4];
inline constexpr const TKeywordEntry& kCommentEnd = kMarkupKeywords[5];
inline constexpr const TKeywordEntry& kPIEnd = kMarkupKeywords[12];
inline constexpr const TKeywordEntry& kCDataStart = kMarkupKeywords[13];
inline constexpr const TKeywordEntry& kCDataEnd = kMarkupKeywords[14];
}  // namespace markup
static_assert(markup::kTagStart.Code == tkTagStart && markup::kTagEnd.Code == tkTagEnd &&
              markup::kEndTagStart.Code == tkEndTagStart &&
              markup::kEmptyTagEnd.Code == tkEmptyTagEnd &&
              markup::kCommentStart.Code == tkCommentStart &&
              markup::kCommentEnd.Code == tkCommentEnd && markup::kPIEnd.Code == tkPIEnd &&
              markup::kCDataStart.Code == tkCDataStart && markup::kCDataEnd.Code == tkCDataEnd);

}  // namespace lumora
