#include "engines/ScriptNames.h"

#include "engines/ForumEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace twk {
namespace {

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// Lists show the scripts in this order, and a sorted combo box keeps it.
TEST(ScriptNamesTest, AreInAlphabeticalOrderIgnoringCaseAndWrittenForUsageTexts) {
    const std::vector<std::wstring>& names = KnownScripts();
    EXPECT_TRUE(std::adjacent_find(names.begin(), names.end(),
                                   [](const std::wstring& a, const std::wstring& b) {
                                       return Folded(a) >= Folded(b);
                                   }) == names.end());
    EXPECT_EQ(KnownScriptsText(), L"Discourse, IPBoard, MyBB, NodeBB, phpBB, SMF or vBulletin");
    EXPECT_EQ(KnownScriptsChoice(), L"Discourse|IPBoard|MyBB|NodeBB|phpBB|SMF|vBulletin");
}

TEST(ScriptNamesTest, AreComparedExactly) {
    for (const std::wstring& name : KnownScripts()) {
        EXPECT_TRUE(IsKnownScript(name));
        EXPECT_FALSE(IsKnownScript(Folded(name))) << Folded(name);
        EXPECT_FALSE(IsKnownScript(name + L" ")) << name;
    }
    EXPECT_FALSE(IsKnownScript(L""));
}

TEST(ScriptNamesTest, EveryScriptListedHasAnEngine) {
    for (const std::wstring& name : KnownScripts()) {
        EXPECT_NE(CreateEngine(name), nullptr) << name;
    }
}

}  // namespace
}  // namespace twk
