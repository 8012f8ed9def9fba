// The engines walk a page's links with SelectLink(0), SelectLink(1), ... and read each
// link's address and text. The time per link must not grow with the page.
#include <benchmark/benchmark.h>

#include <string>

#include "web/HtmlDocument.h"

namespace {

// A section page as the forum scripts write it: one table row per topic.
std::string TopicListPage(int links) {
    std::string page =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "<title>Board</title></head><body><table class=\"forumline\">\n";
    for (int i = 0; i < links; ++i) {
        std::string n = std::to_string(i);
        page += "<tr><td class=\"row1\"><img src=\"folder.gif\" alt=\"\"></td><td class=\"row2\">";
        page += "<a href=\"./viewtopic.php?f=2&amp;t=" + n +
                "&amp;sid=0123456789abcdef\" class=\"topictitle\">Topic " + n +
                " &amp; more</a><br /><span class=\"gensmall\">by user" + n + "</span></td></tr>\n";
    }
    page += "</table></body></html>\n";
    return page;
}

const std::wstring kPageUrl = L"http://forum.test/board/viewforum.php?f=2";

void BM_LinkWalk(benchmark::State& state) {
    const int links = static_cast<int>(state.range(0));
    twk::HtmlDocument doc;
    doc.LoadBytes(TopicListPage(links), kPageUrl, L"text/html; charset=utf-8");
    for (auto _ : state) {
        int i = 0;
        for (; doc.SelectLink(i); ++i) {
            benchmark::DoNotOptimize(doc.LinkUrl());
            benchmark::DoNotOptimize(doc.LinkText());
        }
        if (i != links) {
            state.SkipWithError("wrong number of links");
        }
    }
    state.counters["per_link"] = benchmark::Counter(
        links, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LinkWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadAndLinkWalk(benchmark::State& state) {
    const int links = static_cast<int>(state.range(0));
    const std::string page = TopicListPage(links);
    for (auto _ : state) {
        twk::HtmlDocument doc;
        doc.LoadBytes(page, kPageUrl, L"text/html");
        for (int i = 0; doc.SelectLink(i); ++i) {
            benchmark::DoNotOptimize(doc.LinkUrl());
            benchmark::DoNotOptimize(doc.LinkText());
        }
    }
    state.counters["per_link"] = benchmark::Counter(
        links, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadAndLinkWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
