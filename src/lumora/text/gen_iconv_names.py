#!/usr/bin/env python3
"""Writes iconv_names.cpp: the names of the encodings read through iconv.

Run from any directory on the machine that builds the library:
    python3 src/lumora/text/gen_iconv_names.py

CHARSETS below holds character sets of the IANA registry (the preferred name
first, then the registry's aliases) and a few names documents use in practice
(marked COMMON). An entry is kept when the C library's iconv opens one of its
names (or one of the `iconv=` candidates) in both directions against UTF-16LE,
and when the encoding writes and reads the characters of XML markup as ASCII
does, so that an encoding declaration can be found before the encoding is
known. Encodings that fail the second test (UTF-16, UTF-32, EBCDIC, the
national variants of ISO 646) are left out and reported on standard error.

ALIASES_OF_TABLE_ENCODINGS holds the registry's aliases of the encodings that
have tables of their own; they map to those tables, not to iconv.
"""

import ctypes
import ctypes.util
import os
import sys

# (aliases..., plus "iconv=NAME" candidates tried before the names)
ALIASES_OF_TABLE_ENCODINGS = {
    "US_ASCII": ["iso-ir-6", "ANSI_X3.4-1968", "ANSI_X3.4-1986", "ISO_646.irv:1991",
                 "ISO646-US", "us", "IBM367", "cp367", "csASCII", "ASCII"],
    "i8859_1": ["iso-ir-100", "ISO_8859-1:1987", "ISO_8859-1", "latin1", "l1", "IBM819",
                "CP819", "csISOLatin1"],
    "i8859_2": ["iso-ir-101", "ISO_8859-2:1987", "ISO_8859-2", "latin2", "l2", "csISOLatin2"],
    "i8859_3": ["iso-ir-109", "ISO_8859-3:1988", "ISO_8859-3", "latin3", "l3", "csISOLatin3"],
    "i8859_4": ["iso-ir-110", "ISO_8859-4:1988", "ISO_8859-4", "latin4", "l4", "csISOLatin4"],
    "i8859_5": ["iso-ir-144", "ISO_8859-5:1988", "ISO_8859-5", "cyrillic",
                "csISOLatinCyrillic"],
    "i8859_6": ["iso-ir-127", "ISO_8859-6:1987", "ISO_8859-6", "ECMA-114", "ASMO-708",
                "arabic", "csISOLatinArabic"],
    "i8859_7": ["iso-ir-126", "ISO_8859-7:1987", "ISO_8859-7", "ELOT_928", "ECMA-118", "greek",
                "greek8", "csISOLatinGreek"],
    "i8859_8": ["iso-ir-138", "ISO_8859-8:1988", "ISO_8859-8", "hebrew", "csISOLatinHebrew"],
    "i8859_9": ["iso-ir-148", "ISO_8859-9:1989", "ISO_8859-9", "latin5", "l5", "csISOLatin5"],
    "i8859_10": ["iso-ir-157", "l6", "ISO_8859-10:1992", "csISOLatin6", "latin6"],
    "UTF_8": ["csUTF8"],
    "UTF_16": ["csUTF16"],
}

COMMON = "COMMON"

CHARSETS = [
    # Western and central European, Baltic, Celtic
    ["windows-1250", "cswindows1250", COMMON, "cp1250", "x-cp1250"],
    ["windows-1251", "cswindows1251", COMMON, "cp1251", "x-cp1251"],
    ["windows-1252", "cswindows1252", COMMON, "cp1252", "x-cp1252"],
    ["windows-1253", "cswindows1253", COMMON, "cp1253"],
    ["windows-1254", "cswindows1254", COMMON, "cp1254"],
    ["windows-1255", "cswindows1255", COMMON, "cp1255"],
    ["windows-1256", "cswindows1256", COMMON, "cp1256"],
    ["windows-1257", "cswindows1257", COMMON, "cp1257"],
    ["windows-1258", "cswindows1258", COMMON, "cp1258"],
    ["windows-874", "cswindows874", COMMON, "cp874", "iconv=CP874"],
    ["ISO-8859-13", "csISO885913"],
    ["ISO-8859-14", "iso-ir-199", "ISO_8859-14:1998", "ISO_8859-14", "latin8", "iso-celtic", "l8",
     "csISO885914"],
    ["ISO-8859-15", "ISO_8859-15", "Latin-9", "csISO885915"],
    ["ISO-8859-16", "iso-ir-226", "ISO_8859-16:2001", "ISO_8859-16", "latin10", "l10",
     "csISO885916"],
    ["macintosh", "mac", "csMacintosh", COMMON, "x-mac-roman", "MacRoman"],
    ["hp-roman8", "roman8", "r8", "csHPRoman8"],
    # Cyrillic
    ["KOI8-R", "csKOI8R"],
    ["KOI8-U", "csKOI8U"],
    ["IBM866", "cp866", "866", "csIBM866", COMMON, "dos-866"],
    ["IBM855", "cp855", "855", "csIBM855"],
    ["PTCP154", "csPTCP154", "PT154", "CP154", "Cyrillic-Asian"],
    ["KZ-1048", "STRK1048-2002", "RK1048", "csKZ1048"],
    [COMMON, "MacCyrillic", "x-mac-cyrillic", "x-mac-ukrainian", "iconv=MAC-CYRILLIC",
     "iconv=MACCYRILLIC"],
    # DOS code pages
    ["IBM437", "cp437", "437", "csPC8CodePage437"],
    ["IBM775", "cp775", "csPC775Baltic"],
    ["IBM850", "cp850", "850", "csPC850Multilingual"],
    ["IBM852", "cp852", "852", "csPCp852"],
    ["IBM857", "cp857", "857", "csIBM857"],
    ["IBM00858", "CCSID00858", "CP00858", "PC-Multilingual-850+euro", "csIBM00858",
     "iconv=IBM858", "iconv=CP858"],
    ["IBM860", "cp860", "860", "csIBM860"],
    ["IBM861", "cp861", "861", "cp-is", "csIBM861"],
    ["IBM862", "cp862", "862", "csPC862LatinHebrew"],
    ["IBM863", "cp863", "863", "csIBM863"],
    ["IBM864", "cp864", "csIBM864"],
    ["IBM865", "cp865", "865", "csIBM865"],
    ["IBM869", "cp869", "869", "cp-gr", "csIBM869"],
    # Thai, Vietnamese, Armenian, Georgian
    ["TIS-620", "csTIS620"],
    [COMMON, "ISO-8859-11", "iso-8859-11:2001", "iconv=ISO-8859-11"],
    ["VISCII", "csVISCII"],
    # Japanese
    ["Shift_JIS", "MS_Kanji", "csShiftJIS", COMMON, "x-sjis", "sjis"],
    ["Windows-31J", "csWindows31J", COMMON, "cp932", "ms932", "iconv=CP932"],
    ["EUC-JP", "Extended_UNIX_Code_Packed_Format_for_Japanese", "csEUCPkdFmtJapanese", COMMON,
     "x-euc-jp"],
    ["ISO-2022-JP", "csISO2022JP"],
    ["ISO-2022-JP-2", "csISO2022JP2"],
    ["JIS_X0201", "X0201", "csHalfWidthKatakana"],
    # Korean
    ["EUC-KR", "csEUCKR"],
    ["KS_C_5601-1987", "iso-ir-149", "KS_C_5601-1989", "KSC_5601", "korean", "csKSC56011987",
     COMMON, "cp949", "windows-949", "iconv=CP949"],
    ["ISO-2022-KR", "csISO2022KR"],
    # Chinese
    ["GB2312", "csGB2312", COMMON, "EUC-CN", "x-gbk-2312"],
    ["GBK", "CP936", "MS936", "windows-936", "csGBK"],
    ["GB18030", "csGB18030"],
    ["HZ-GB-2312"],
    ["ISO-2022-CN", "csISO2022CN"],
    ["ISO-2022-CN-EXT", "csISO2022CNEXT"],
    ["Big5", "csBig5", COMMON, "x-x-big5", "big5-cp950", "cp950", "iconv=BIG5"],
    ["Big5-HKSCS", "csBig5HKSCS"],
    [COMMON, "EUC-TW", "x-euc-tw", "iconv=EUC-TW"],
    # Unicode forms beside UTF-8 and UTF-16
    ["UTF-7", "csUTF7"],
    ["UTF-16BE", "csUTF16BE"],
    ["UTF-16LE", "csUTF16LE"],
    ["UTF-32", "csUTF32"],
    ["UTF-32BE", "csUTF32BE"],
    ["UTF-32LE", "csUTF32LE"],
    ["ISO-10646-UCS-2", "csUnicode"],
    ["ISO-10646-UCS-4", "csUCS4"],
    # EBCDIC
    ["IBM037", "cp037", "ebcdic-cp-us", "ebcdic-cp-ca", "ebcdic-cp-wt", "ebcdic-cp-nl",
     "csIBM037"],
    ["IBM1047", "IBM-1047", "csIBM1047"],
    # National variants of ISO 646
    ["DIN_66003", "iso-ir-21", "de", "ISO646-DE", "csISO21German"],
]

MAX_CODES = 255 - 14  # TEncoding is one byte; 0..13 are taken

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p),
                       ctypes.POINTER(ctypes.c_size_t), ctypes.POINTER(ctypes.c_char_p),
                       ctypes.POINTER(ctypes.c_size_t)]
libc.iconv_close.argtypes = [ctypes.c_void_p]
FAILED = ctypes.c_void_p(-1).value


def opens(name):
    for to, frm in ((b"UTF-16LE", name.encode()), (name.encode(), b"UTF-16LE")):
        cd = libc.iconv_open(to, frm)
        if cd == FAILED:
            return False
        libc.iconv_close(cd)
    return True


def convert(to, frm, data):
    """data converted, or None when iconv refuses some of it."""
    cd = libc.iconv_open(to.encode(), frm.encode())
    src = ctypes.create_string_buffer(data, len(data))
    out = ctypes.create_string_buffer(len(data) * 8 + 16)
    inp = ctypes.c_char_p(ctypes.addressof(src))
    inleft = ctypes.c_size_t(len(data))
    outp = ctypes.c_char_p(ctypes.addressof(out))
    outleft = ctypes.c_size_t(len(out))
    ok = libc.iconv(cd, ctypes.byref(inp), ctypes.byref(inleft), ctypes.byref(outp),
                    ctypes.byref(outleft)) != ctypes.c_size_t(-1).value
    ok = ok and libc.iconv(cd, None, None, ctypes.byref(outp),
                           ctypes.byref(outleft)) != ctypes.c_size_t(-1).value
    libc.iconv_close(cd)
    if not ok:
        return None
    return out.raw[:len(out) - outleft.value]


# The characters of markup; backslash and tilde are not among them (Shift_JIS
# and JIS X 0201 give those bytes to the yen sign and the overline).
MARKUP = "".join(chr(c) for c in [9, 10, 13] + list(range(0x20, 0x7F)) if chr(c) not in "\\~")


def reads_markup_as_ascii(iconv_name):
    ascii_bytes = MARKUP.encode("ascii")
    return (convert(iconv_name, "UTF-16LE", MARKUP.encode("utf-16-le")) == ascii_bytes and
            convert("UTF-16LE", iconv_name, ascii_bytes) == MARKUP.encode("utf-16-le"))


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    kept = []
    seen = set()
    for entry in CHARSETS:
        names = [n for n in entry if n != COMMON and not n.startswith("iconv=")]
        candidates = [n[6:] for n in entry if n.startswith("iconv=")] + names
        iconv_name = next((n for n in candidates if opens(n)), None)
        if iconv_name is None:
            print("left out (iconv does not know it): %s" % names[0], file=sys.stderr)
            continue
        if not reads_markup_as_ascii(iconv_name):
            print("left out (markup is not ASCII): %s" % names[0], file=sys.stderr)
            continue
        unique = []
        for n in names:
            key = n.upper()
            if key in seen:
                sys.exit("name given twice: %s" % n)
            seen.add(key)
            unique.append(n)
        kept.append((unique[0], iconv_name, unique[1:]))
    if len(kept) > MAX_CODES:
        sys.exit("too many encodings for one byte: %d" % len(kept))
    for code, aliases in ALIASES_OF_TABLE_ENCODINGS.items():
        for n in aliases:
            if n.upper() in seen:
                sys.exit("name given twice: %s" % n)
            seen.add(n.upper())

    lines = [
        "// Generated by gen_iconv_names.py: do not edit; run the script instead.",
        '#include "lumora/text/iconv_encodings.h"',
        "",
        "#include <iterator>",
        "",
        "namespace lumora {",
        "",
        "const TIconvCharset kIconvCharsets[] = {",
    ]
    for name, iconv_name, aliases in kept:
        alias_text = "".join(a + "\\0" for a in aliases)
        lines.append("    {%s, %s, \"%s\"}," % (c_string(name), c_string(iconv_name), alias_text))
    lines += [
        "};",
        "const int kIconvCharsetCount = static_cast<int>(std::size(kIconvCharsets));",
        "",
        "const TCharsetAlias kTableAliases[] = {",
    ]
    for code, aliases in ALIASES_OF_TABLE_ENCODINGS.items():
        for n in aliases:
            lines.append("    {%s, %s}," % (c_string(n), code))
    lines += [
        "};",
        "const int kTableAliasCount = static_cast<int>(std::size(kTableAliases));",
        "",
        "}  // namespace lumora",
        "",
    ]
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "iconv_names.cpp")
    with open(path, "w") as out:
        out.write("\n".join(lines))
    print("%d encodings written to %s" % (len(kept), path), file=sys.stderr)


if __name__ == "__main__":
    main()
