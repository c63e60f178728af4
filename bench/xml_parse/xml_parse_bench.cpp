// Parse and ToText on result documents of 100 KB, 1 MB and 10 MB, with tinyxml2 on the same text.
#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <map>
#include <string>

#include "xml/xml_node.h"

namespace {

// An answer as the service sends it after preparation: code, then one entry per message.
std::string MakeResultDocument(std::size_t targetSize) {
  std::string text = "<response>\r\n\t<code>0000</code>\r\n\t<smsResult>\r\n\t\t<entries>";
  for (std::size_t i = 0; text.size() < targetSize; ++i) {
    text += "\r\n\t\t\t<entry seq='" + std::to_string(i) + "'>";
    text += "\r\n\t\t\t\t<phone>0101234" + std::to_string(1000 + i % 9000) + "</phone>";
    text += "\r\n\t\t\t\t<callback>0212345678</callback>";
    text += "\r\n\t\t\t\t<msg>Meeting at 10 &amp; lunch at 12 &lt;room " + std::to_string(i % 50) + "&gt;</msg>";
    text += "\r\n\t\t\t\t<status>" + std::string(i % 3 ? "sent" : "wait") + "</status>";
    text += "\r\n\t\t\t\t<ref_key>ref-" + std::to_string(i) + "</ref_key>";
    text += "\r\n\t\t\t</entry>";
  }
  text += "\r\n\t\t</entries>\r\n\t</smsResult>\r\n</response>";
  return text;
}

const std::string& Document(std::int64_t size) {
  static std::map<std::int64_t, std::string> cache;
  auto it = cache.find(size);
  if (it == cache.end()) it = cache.emplace(size, MakeResultDocument(static_cast<std::size_t>(size))).first;
  return it->second;
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
}

void BM_Parse(benchmark::State& state) {
  const std::string& text = Document(state.range(0));
  for (auto _ : state) {
    XmlNode node;
    XmlParseOptions options = DefaultParseOptions;
    benchmark::DoNotOptimize(node.Parse(text, options));
    if (options.errorOccurred) state.SkipWithError("parse error");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Tinyxml2Parse(benchmark::State& state) {
  const std::string& text = Document(state.range(0));
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) state.SkipWithError("parse error");
    benchmark::DoNotOptimize(doc.RootElement());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ToText(benchmark::State& state) {
  const std::string& text = Document(state.range(0));
  XmlNode node;
  XmlParseOptions parse = DefaultParseOptions;
  node.Parse(text, parse);
  for (auto _ : state) {
    XmlWriteOptions options = DefaultWriteOptions;
    std::string out = node.ToText(options);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Tinyxml2Print(benchmark::State& state) {
  const std::string& text = Document(state.range(0));
  tinyxml2::XMLDocument doc;
  doc.Parse(text.data(), text.size());
  for (auto _ : state) {
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    benchmark::DoNotOptimize(printer.CStr());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_Parse)->Apply(Sizes);
BENCHMARK(BM_Tinyxml2Parse)->Apply(Sizes);
BENCHMARK(BM_ToText)->Apply(Sizes);
BENCHMARK(BM_Tinyxml2Print)->Apply(Sizes);
