// Throughput of the lexical analyzer: the document lexer with its markup
// scanners reads generated markup from start to end, with a fresh symbol
// table each time. Sizes 1, 2 and 4 show whether time grows linearly with
// the input (characters per second should stay flat).
//
//   scanner_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <string>

#include "lumora/framework/stream.h"
#include "lumora/framework/sysutils.h"
#include "lumora/parser/orvane.h"

namespace lumora {
namespace {

// The document lexer alone: TKaOrvane's LexAn over the whole input, with no
// grammar and no tree behind it.
class TBenchLexer : public TKaOrvane {
 public:
  TBenchLexer() : TKaOrvane(nullptr) {}

  // Reads every token of bytes; returns the number of tokens.
  int64_t Run(TStream& stream, bool utf8) {
    Init();
    FDocBuffer->Init(stream);
    if (utf8) FDocBuffer->SetEncoding(UTF_8);
    FInContent = true;
    int64_t tokens = 0;
    for (LexAn(); FToken->GetCode() != tkEndOfFile; LexAn()) ++tokens;
    Finalize();
    return tokens;
  }
};

// About 2 million characters of markup per unit of scale.
std::u16string Markup(int scale) {
  std::u16string text = u"<catalog>\n";
  const int items = 24000 * scale;
  for (int i = 0; i < items; ++i) {
    const std::u16string n = SystemToWide(std::to_string(i));
    text += u"  <item id=\"i" + n + u"\" kind='k" + n.substr(n.size() - 1) +
            u"'>Caf\u00E9 number " + n + u" &amp; friends</item>\n";
    if (i % 4 == 0) text += u"  <!-- remark " + n + u" --><?stamp t" + n + u"?>\n";
    if (i % 8 == 0) text += u"  <![CDATA[<raw> & \"quoted\" ]]><empty/>\n";
  }
  return text + u"</catalog>\n";
}

void BM_Scanners(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  const bool utf16 = state.range(1) != 0;
  const std::u16string text = Markup(scale);
  std::string bytes;
  if (utf16) {
    bytes = "\xFF\xFE";
    for (char16_t c : text) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
  } else {
    bytes = WideToSystem(text);
  }
  TStringStream stream(bytes);
  TBenchLexer lexer;
  int64_t tokens = 0;
  for (auto _ : state) tokens = lexer.Run(stream, !utf16);
  state.SetLabel(utf16 ? "UTF-16" : "UTF-8");
  state.counters["chars"] = static_cast<double>(text.size());
  state.counters["tokens"] = static_cast<double>(tokens);
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(text.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
}

BENCHMARK(BM_Scanners)
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->ArgNames({"scale", "utf16"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumora

BENCHMARK_MAIN();
