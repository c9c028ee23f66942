// Throughput of a whole parse: generated documents of 1, 10 and 50 MB
// (UTF-8, with attributes, entity and character references, comments, CDATA
// sections, processing instructions and non-ASCII text) are parsed from
// memory into a DOM, and written back to memory; a product catalogue of 10
// and 50 MB with an internal DTD is parsed and validated; and the 10 MB
// document is parsed on one thread and on four at once (a parser and a
// document each). When libxml2 is available the same bytes are parsed into
// its tree (dumped back, validated) in the same run, and the closing lines
// give the ratio of the times and the peak heap use of one parse with
// either library.
//
//   parse_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "lumora/dom/document.h"
#include "lumora/framework/stream.h"
#include "lumora/parser/orvane.h"

#ifdef LUMORA_BENCH_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif

// Heap accounting for the peak-memory figures: every allocation of the
// program goes through these hooks, which count only while a measurement
// runs (one relaxed load otherwise).
namespace heap {

std::atomic<bool> counting{false};
std::atomic<int64_t> current{0};
std::atomic<int64_t> peak{0};

void Add(void* p) {
  if (!p || !counting.load(std::memory_order_relaxed)) return;
  const int64_t now = current += static_cast<int64_t>(malloc_usable_size(p));
  int64_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}

void Remove(void* p) {
  if (p && counting.load(std::memory_order_relaxed))
    current -= static_cast<int64_t>(malloc_usable_size(p));
}

// Runs work with counting on; returns the highest heap use above the start.
template <typename Work>
int64_t Peak(Work&& work) {
  current = 0;
  peak = 0;
  counting = true;
  work();
  counting = false;
  return peak.load();
}

}  // namespace heap

// Not inlined: g++ would otherwise see free() meet operator new's pointer.
[[gnu::noinline]] void* operator new(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  heap::Add(p);
  return p;
}
void* operator new[](size_t size) {
  return operator new(size);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  heap::Remove(p);
  std::free(p);
}
void operator delete[](void* p) noexcept {
  operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
  operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
  operator delete(p);
}

namespace {

using namespace lumora;

constexpr int64_t kMB = 1 << 20;

// A product catalogue of about `size` bytes.
std::string Catalogue(int64_t size) {
  static const char* const kNames[] = {
      "Caf\xC3\xA9 cr\xC3\xA8me",                                      // Café crème
      "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",              // Москва
      "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x82\xBF\xE3\x83\xAF\xE3\x83\xBC",  // 東京タワー
      "Stra\xC3\x9F"
      "e & Gr\xC3\xBC\xC3\x9F"
      "e",
      "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",  // Αθήνα
      "plain ASCII name",
  };
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- generated catalogue -->\n"
      "<catalog xmlns=\"urn:example:catalog\" version=\"3\">\n";
  doc.reserve(static_cast<size_t>(size) + 4096);
  for (int i = 0; static_cast<int64_t>(doc.size()) < size; ++i) {
    const std::string n = std::to_string(i);
    std::string name = kNames[i % 6];
    if (const size_t amp = name.find('&'); amp != std::string::npos) name.replace(amp, 1, "&amp;");
    doc += "  <product id=\"p" + n + "\" sku='SKU-" + n + "-X' available=\"" +
           (i % 3 ? "yes" : "no") + "\">\n";
    doc += "    <name lang=\"" + std::string(i % 2 ? "en" : "fr") + "\">" + name + "</name>\n";
    doc += "    <price currency=\"EUR\">" + std::to_string(i % 997) + "." +
           std::to_string(10 + i % 90) + "</price>\n";
    doc += "    <description>Item " + n +
           " &lt;new&gt; &#8364; 5 &amp; more &#x2014; \"quoted\" text, "
           "long enough to look like prose in a real feed.</description>\n";
    if (i % 4 == 0) doc += "    <!-- reviewed by team " + std::to_string(i % 7) + " -->\n";
    if (i % 5 == 0) doc += "    <notes><![CDATA[<b>bold</b> & raw \"markup\" kept]]></notes>\n";
    if (i % 16 == 0) doc += "    <?render mode=\"compact\"?>\n";
    doc += "    <tags><tag>t" + std::to_string(i % 13) + "</tag><tag>t" + std::to_string(i % 29) +
           "</tag><empty/></tags>\n";
    doc += "  </product>\n";
  }
  return doc + "</catalog>\n";
}

// A catalogue of about `size` bytes that its internal DTD declares in full:
// products with an ID, a name holding references and a description holding
// a CDATA section, a comment between them (as the whole-process benchmark's).
std::string ValidCatalogue(int64_t size) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE catalogue [\n"
      "<!ELEMENT catalogue (product)*>\n"
      "<!ELEMENT product (name,description)>\n"
      "<!ATTLIST product sku ID #REQUIRED stock NMTOKEN #REQUIRED price CDATA #IMPLIED>\n"
      "<!ELEMENT name (#PCDATA)>\n"
      "<!ELEMENT description (#PCDATA)>\n"
      "]>\n"
      "<catalogue>\n";
  doc.reserve(static_cast<size_t>(size) + 4096);
  for (int i = 1; static_cast<int64_t>(doc.size()) < size; ++i) {
    const std::string n = std::to_string(i);
    char sku[16];
    std::snprintf(sku, sizeof sku, "P%06d", i);
    doc += "  <product sku=\"" + std::string(sku) + "\" stock=\"" + std::to_string(i * 7 % 50) +
           "\" price=\"" + std::to_string(i * 13 % 97) + "." + std::to_string(10 + i % 90) +
           "\">\n"
           "    <name>Caf\xC3\xA9 n\xC2\xB0" +
           n +
           " &amp; th\xC3\xA9 &#x2014; \xE6\x97\xA5\xE6\x9C\xAC</name>\n"
           "    <!-- batch " +
           n +
           " -->\n"
           "    <description><![CDATA[Roasted <dark> & sweet]]> origin " +
           n + "</description>\n  </product>\n";
  }
  return doc + "</catalogue>\n";
}

// The documents by size in MB; a negative size is the catalogue with a DTD.
const std::string& Document(int64_t megabytes) {
  static std::map<int64_t, std::string> cache;
  auto it = cache.find(megabytes);
  if (it == cache.end())
    it = cache
             .emplace(megabytes, megabytes < 0 ? ValidCatalogue(-megabytes * kMB)
                                               : Catalogue(megabytes * kMB))
             .first;
  return it->second;
}

std::unique_ptr<TKaXMLDocument> LumoraParse(TKaOrvane& parser, const std::string& bytes) {
  TStringStream stream(bytes);
  std::unique_ptr<TKaXMLDocument> doc;
  parser.Parse(stream, doc);
  return doc;
}

void SetBytes(benchmark::State& state, const std::string& bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(bytes.size()));
  state.counters["MB"] = static_cast<double>(bytes.size()) / kMB;
}

void BM_LumoraParse(benchmark::State& state) {
  const std::string& bytes = Document(state.range(0));
  TKaOrvane parser(nullptr);
  for (auto _ : state) {
    auto doc = LumoraParse(parser, bytes);
    benchmark::DoNotOptimize(doc.get());
  }
  SetBytes(state, bytes);
}

void BM_LumoraParseWrite(benchmark::State& state) {
  const std::string& bytes = Document(state.range(0));
  TKaOrvane parser(nullptr);
  int64_t written = 0;
  for (auto _ : state) {
    auto doc = LumoraParse(parser, bytes);
    TMemoryStream out;
    doc->WriteToStream(out);
    written = out.Size();
  }
  SetBytes(state, bytes);
  state.counters["written_MB"] = static_cast<double>(written) / kMB;
}

void BM_LumoraParseValidate(benchmark::State& state) {
  const std::string& bytes = Document(-state.range(0));
  TKaOrvane parser(nullptr);
  parser.SetStandardXML(true);
  parser.SetValidateDocument(true);
  for (auto _ : state) {
    TStringStream stream(bytes);
    std::unique_ptr<TKaXMLDocument> doc;
    if (!parser.Parse(stream, doc)) {
      state.SkipWithError("the catalogue is not valid");
      break;
    }
  }
  SetBytes(state, bytes);
}

// CPU time of the whole process, all threads together.
double ProcessSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each thread parses the document with a parser of its own; the time is the
// wall time until all are done, which stays that of one parse as long as
// the threads share nothing and there are cores for all. The CPU time of
// one parse (cpu_s_per_parse) shows contention where cores are too few.
void BM_LumoraParseThreads(benchmark::State& state) {
  const std::string& bytes = Document(10);
  const int threads = static_cast<int>(state.range(0));
  const double start = ProcessSeconds();
  for (auto _ : state) {
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
      running.emplace_back([&bytes] {
        TKaOrvane parser(nullptr);
        auto doc = LumoraParse(parser, bytes);
        benchmark::DoNotOptimize(doc.get());
      });
    for (std::thread& thread : running) thread.join();
  }
  state.counters["cpu_s_per_parse"] =
      (ProcessSeconds() - start) / static_cast<double>(state.iterations() * threads);
  SetBytes(state, bytes);
}

BENCHMARK(BM_LumoraParse)->Arg(1)->Arg(10)->Arg(50)->ArgName("MB")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LumoraParseWrite)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->ArgName("MB")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LumoraParseValidate)
    ->Arg(10)
    ->Arg(50)
    ->ArgName("MB")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LumoraParseThreads)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

#ifdef LUMORA_BENCH_LIBXML2
xmlDocPtr Libxml2Parse(const std::string& bytes) {
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "catalog.xml",
                                nullptr, XML_PARSE_NONET);
  if (!doc) std::abort();
  return doc;
}

void BM_Libxml2Parse(benchmark::State& state) {
  const std::string& bytes = Document(state.range(0));
  for (auto _ : state) xmlFreeDoc(Libxml2Parse(bytes));
  SetBytes(state, bytes);
}

void BM_Libxml2ParseWrite(benchmark::State& state) {
  const std::string& bytes = Document(state.range(0));
  int written = 0;
  for (auto _ : state) {
    xmlDocPtr doc = Libxml2Parse(bytes);
    xmlChar* out = nullptr;
    xmlDocDumpMemory(doc, &out, &written);
    xmlFree(out);
    xmlFreeDoc(doc);
  }
  SetBytes(state, bytes);
  state.counters["written_MB"] = static_cast<double>(written) / kMB;
}

void BM_Libxml2ParseValidate(benchmark::State& state) {
  const std::string& bytes = Document(-state.range(0));
  for (auto _ : state) {
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    xmlDocPtr doc = xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()),
                                      "catalogue.xml", nullptr, XML_PARSE_NONET | XML_PARSE_DTDVALID);
    const bool valid = doc && context->valid;
    xmlFreeDoc(doc);
    xmlFreeParserCtxt(context);
    if (!valid) {
      state.SkipWithError("libxml2 finds the catalogue not valid");
      break;
    }
  }
  SetBytes(state, bytes);
}

BENCHMARK(BM_Libxml2Parse)->Arg(1)->Arg(10)->Arg(50)->ArgName("MB")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2ParseWrite)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->ArgName("MB")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2ParseValidate)
    ->Arg(10)
    ->Arg(50)
    ->ArgName("MB")
    ->Unit(benchmark::kMillisecond);

// libxml2 allocates through its own hooks, which count like operator new.
void* CountingMalloc(size_t size) {
  void* p = std::malloc(size);
  heap::Add(p);
  return p;
}
void CountingFree(void* p) {
  heap::Remove(p);
  std::free(p);
}
void* CountingRealloc(void* p, size_t size) {
  heap::Remove(p);
  void* q = std::realloc(p, size);
  heap::Add(q ? q : p);
  return q;
}
char* CountingStrdup(const char* s) {
  const size_t n = std::strlen(s) + 1;
  auto* p = static_cast<char*>(CountingMalloc(n));
  if (p) std::memcpy(p, s, n);
  return p;
}
#endif

// Collects the mean CPU time per iteration of every run, for the ratios (as
// MB/s, CPU time is steadier than wall time on a busy machine).
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        FSeconds[run.benchmark_name()] = run.cpu_accumulated_time / run.iterations;
        FWallSeconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations;
        if (const auto it = run.counters.find("cpu_s_per_parse"); it != run.counters.end())
          FParseSeconds[run.benchmark_name()] = it->second.value;
      }
    ConsoleReporter::ReportRuns(runs);
  }
  double Seconds(const std::string& name) const { return Find(FSeconds, name); }
  double WallSeconds(const std::string& name) const { return Find(FWallSeconds, name); }
  double ParseSeconds(const std::string& name) const { return Find(FParseSeconds, name); }

 private:
  static double Find(const std::map<std::string, double>& seconds, const std::string& name) {
    auto it = seconds.find(name);
    return it == seconds.end() ? 0 : it->second;
  }
  std::map<std::string, double> FSeconds;
  std::map<std::string, double> FWallSeconds;
  std::map<std::string, double> FParseSeconds;
};

void PrintPeakMemory(int64_t megabytes) {
  const std::string& bytes = Document(megabytes);
  TKaOrvane parser(nullptr);
  std::unique_ptr<TKaXMLDocument> doc;
  // The tree's arena takes its chunks past operator new: they are added
  // (the arena only grows while a document is read).
  const int64_t lumora = heap::Peak([&] { doc = LumoraParse(parser, bytes); }) +
                         static_cast<int64_t>(doc->NodeArena().ReservedBytes());
  doc.reset();
  std::printf("peak heap of one parse, %lld MB document: lumora %.1f MB",
              static_cast<long long>(megabytes), static_cast<double>(lumora) / kMB);
#ifdef LUMORA_BENCH_LIBXML2
  xmlFreeFunc oldFree;
  xmlMallocFunc oldMalloc;
  xmlReallocFunc oldRealloc;
  xmlStrdupFunc oldStrdup;
  xmlMemGet(&oldFree, &oldMalloc, &oldRealloc, &oldStrdup);
  xmlMemSetup(CountingFree, CountingMalloc, CountingRealloc, CountingStrdup);
  xmlDocPtr tree = nullptr;
  const int64_t libxml2 = heap::Peak([&] { tree = Libxml2Parse(bytes); });
  xmlFreeDoc(tree);
  xmlMemSetup(oldFree, oldMalloc, oldRealloc, oldStrdup);
  std::printf(", libxml2 %.1f MB (%.2fx)", static_cast<double>(libxml2) / kMB,
              static_cast<double>(lumora) / static_cast<double>(libxml2));
#endif
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

#ifdef LUMORA_BENCH_LIBXML2
  for (const char* what : {"Parse", "ParseWrite", "ParseValidate"}) {
    for (int mb : {1, 10, 50}) {
      const std::string suffix = std::string(what) + "/MB:" + std::to_string(mb);
      const double ours = reporter.Seconds("BM_Lumora" + suffix);
      const double theirs = reporter.Seconds("BM_Libxml2" + suffix);
      if (ours > 0 && theirs > 0)
        std::printf("%-13s %2d MB: lumora takes %.2fx the time of libxml2\n", what, mb,
                    ours / theirs);
    }
  }
  xmlCleanupParser();
#endif
  const std::string threads = "BM_LumoraParseThreads/threads:";
  const double one = reporter.WallSeconds(threads + "1/real_time");
  const double four = reporter.WallSeconds(threads + "4/real_time");
  if (one > 0 && four > 0)
    std::printf("4 threads, 10 MB each: %.2fx the wall time of one, %.2fx its CPU time per parse "
                "(%u cores)\n",
                four / one,
                reporter.ParseSeconds(threads + "4/real_time") /
                    reporter.ParseSeconds(threads + "1/real_time"),
                std::thread::hardware_concurrency());
  // Only the sizes that were run: a filter may have left the large ones out.
  for (int mb : {1, 10, 50})
    if (reporter.Seconds("BM_LumoraParse/MB:" + std::to_string(mb)) > 0) PrintPeakMemory(mb);
  return 0;
}
