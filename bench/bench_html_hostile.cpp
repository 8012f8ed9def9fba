// A board page costs the same time per byte whatever its markup: pages built to be hard
// for a parser (unclosed tags nested deep, stray end tags, tags with tens of thousands of
// attributes, long comments and scripts, masses of entities) are loaded and walked the way
// an engine walks a page, beside a real board page repeated to the same size. Compare the
// per_byte counters: every shape must stay within a small factor of the real page's.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "web/HtmlDocument.h"
#include "web/HtmlForm.h"

namespace {

const std::wstring kPageUrl = L"http://forum.test/board/index.php";

std::string Repeat(const std::string& unit, size_t size, const std::string& head = "",
                   const std::string& tail = "") {
    std::string page = head;
    page.reserve(size + unit.size() + tail.size());
    while (page.size() + tail.size() < size) {
        page += unit;
    }
    return page + tail;
}

std::string RealPage(size_t size) {
    std::ifstream file(TWK_BENCH_FIXTURES_DIR "/ipboard/board2-index.html", std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return page.empty() ? std::string() : Repeat(page, size);
}

std::string Attributes(int count) {
    std::string tag = "<meta";
    for (int i = 0; i < count; ++i) {
        tag += " a" + std::to_string(i) + "=\"v\"";
    }
    return tag + ">\n";
}

std::string Page(int shape, size_t size) {
    const std::string html = "<html><head><title>t</title></head><body>";
    switch (shape) {
        case 0:
            return RealPage(size);
        case 1:  // unclosed tags nested as deep as the page is long
            return Repeat("<div>", size, html, "</body></html>");
        case 2:  // half unclosed tags, then as many end tags that close nothing
            return Repeat("<b>", size / 2, html) + Repeat("</i>", size / 2);
        case 3:  // tags of 20,000 attributes each, read when looking for a refresh
            return Repeat(Attributes(20'000), size, "<html><head>", "</head></html>");
        case 4:  // long comments and scripts with markup inside
            return Repeat("<!--" + std::string(50'000, '-') + " <a href=x> -->" +
                              "<script>if (a < b && c > d) { w('<div>'); }" +
                              std::string(50'000, ' ') + "</script>",
                          size, html, "</body></html>");
        case 5:  // section links never closed, each holding all the later ones
            return Repeat("<a href=\"viewforum.php?f=1\">Section ", size, html, "</body></html>");
        default:  // links full of entities, 100,000 per megabyte
            return Repeat(
                "<a href=\"t.php?a=1&amp;b=&#50;\">&euro;&copy;&#1071;&lt;&amp;&#x44;"
                "&nbsp;&quot;</a>\n",
                size, html, "</body></html>");
    }
}

const char* kShapes[] = {"real",       "unclosed",         "stray_end",
                         "attributes", "comments_scripts", "unclosed_links",
                         "entities"};

void BM_LoadHostilePage(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    const std::string page = Page(shape, static_cast<size_t>(state.range(1)) << 20);
    if (page.empty()) {
        state.SkipWithError("fixture not found");
        return;
    }
    state.SetLabel(kShapes[shape]);
    for (auto _ : state) {
        twk::HtmlDocument doc;
        doc.LoadBytes(page, kPageUrl, L"text/html; charset=windows-1251");
        std::wstring text;
        benchmark::DoNotOptimize(doc.Title(text));
        benchmark::DoNotOptimize(doc.MetaRefreshUrl(text));
        doc.form_cursor = doc.FindElement(0, "FORM");
        twk::HtmlForm form;
        doc.ReadForm(form);
        benchmark::DoNotOptimize(form.fields.size());
        for (int i = 0; doc.SelectLink(i); ++i) {
            benchmark::DoNotOptimize(doc.LinkUrl());
            benchmark::DoNotOptimize(doc.LinkText());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
    state.counters["per_byte"] = benchmark::Counter(
        static_cast<double>(page.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadHostilePage)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {1, 10}})
    ->ArgNames({"shape", "MB"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
