// Loads the costliest documents the XML layer accepts, each as large as it allows, and the
// refusal of an attribute flood: every load must end within seconds.

#include <string>

#include <benchmark/benchmark.h>

#include "XmlDocument.h"

namespace
{
// Repeats unit until the document reaches the size cap, between head and tail.
std::string Fill(const std::string& head, const std::string& unit, const std::string& tail)
{
    std::string text = head;
    while (text.size() + unit.size() + tail.size() <= CXmlDocument::kMaxDocumentSize)
        text += unit;
    return text + tail;
}

std::string Document(int shape)
{
    std::string attributes, nested, closing;
    switch (shape) {
    case 0:  // the smallest elements
        return Fill("<r>", "<a/>", "</r>");
    case 1:  // as deep as the parser allows, each element under a namespace found at the top
        for (int i = 0; i < 250; ++i) {
            nested += i == 0 ? "<e xmlns:p='u'>" : "<e>";
            closing += "</e>";
        }
        return Fill(nested, "<p:a/>", closing);
    case 2:  // as many attributes per element as allowed
        for (int i = 0; i < 256; ++i)
            attributes += " a" + std::to_string(i) + "=''";
        return Fill("<r>", "<e" + attributes + "/>", "</r>");
    default:  // a flood, refused
        for (int i = 0; i < 200000; ++i)
            attributes += " a" + std::to_string(i) + "=''";
        return "<r" + attributes + "/>";
    }
}

void BM_LoadWorstShape(benchmark::State& state)
{
    const std::string text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CXmlDocument document;
        benchmark::DoNotOptimize(document.LoadXml(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadWorstShape)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);
}  // namespace

BENCHMARK_MAIN();
