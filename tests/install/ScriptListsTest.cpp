// The installed texts that cannot ask the program for its scripts (manual pages, completion,
// menu entry, AppStream data, README, the package description) are written by hand; these
// tests keep them naming every script the program knows.
#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engines/ScriptNames.h"
#include "text/Unicode.h"

namespace twk {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// How often name stands as a word of its own, so that "phpBB3" is no "phpBB".
int WordCount(const std::string& text, const std::string& name) {
    int count = 0;
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const size_t end = at + name.size();
        if ((at == 0 || !IsWordCharacter(text[at - 1])) &&
            (end == text.size() || !IsWordCharacter(text[end]))) {
            ++count;
        }
    }
    return count;
}

TEST(ScriptListsTest, EveryHandWrittenListNamesEveryScript) {
    // lists: how many lists of the scripts the file holds, so that one left behind shows.
    const struct {
        const char* file;
        int lists;
    } files[] = {
        {"README.md", 1},
        {"resources/man/twk.1", 3},  // the description, scan, --script
        {"resources/man/tallowick.1", 1},
        {"resources/completion/twk", 1},
        {"resources/org.example.tallowick.desktop", 1},
        {"resources/org.example.tallowick.metainfo.xml", 1},
    };
    for (const auto& [file, lists] : files) {
        const std::string text = ReadText(std::filesystem::path(TWK_SOURCE_DIR) / file);
        ASSERT_FALSE(text.empty()) << file;
        for (const std::wstring& name : KnownScripts()) {
            EXPECT_GE(WordCount(text, WideToUtf8(name)), lists)
                << file << " and " << WideToUtf8(name);
        }
    }
}

// CMake writes the description from a list of its own; it must be the program's.
TEST(ScriptListsTest, PackageDescriptionNamesTheProgramsScripts) {
    const std::string config =
        ReadText(std::filesystem::path(TWK_BINARY_DIR) / "CPackConfig.cmake");
    for (const std::string package : {"TWK", "TALLOWICK"}) {
        const std::string start = "set(CPACK_COMPONENT_" + package + "_DESCRIPTION \"";
        const size_t begin = config.find(start);
        ASSERT_NE(begin, std::string::npos) << package;
        std::string description =
            config.substr(begin + start.size(), config.find("\")", begin) - begin - start.size());
        // The description is wrapped into lines of at most 79 characters.
        std::replace(description.begin(), description.end(), '\n', ' ');
        EXPECT_NE(description.find(WideToUtf8(KnownScriptsText())), std::string::npos)
            << description;
    }
}

}  // namespace
}  // namespace twk
