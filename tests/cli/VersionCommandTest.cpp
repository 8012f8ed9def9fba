// twk version and twk --version: the project's version, then the libraries it runs with,
// on standard output, as every Debian tool answers --version.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "TwkProcess.h"
#include "support/TempDir.h"

namespace twk {
namespace {

TEST(VersionCommand, PrintsProgramAndLibraryVersions) {
    test::TempDir dir;
    for (const std::string command : {"version", "--version"}) {
        SCOPED_TRACE(command);
        const test::TwkResult result = test::RunTwk({command}, dir.path());
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.err, "");
        std::istringstream lines(result.out);
        std::vector<std::string> got;
        for (std::string line; std::getline(lines, line);) {
            got.push_back(line);
        }
        ASSERT_EQ(got.size(), 3u) << result.out;
        EXPECT_EQ(got[0], "twk " TWK_PROJECT_VERSION);
        EXPECT_TRUE(std::regex_match(got[1], std::regex("libcurl [0-9]+\\.[0-9]+\\.[0-9]+.*")))
            << got[1];
        EXPECT_TRUE(std::regex_match(got[2], std::regex("SQLite 3\\.[0-9]+\\.[0-9]+"))) << got[2];
    }
}

}  // namespace
}  // namespace twk
