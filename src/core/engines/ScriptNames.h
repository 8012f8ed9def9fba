#pragma once

#include <string>
#include <vector>

namespace twk {

// Every forum script the program knows, by the name a forum record stores and twk's
// --script takes, in the order lists show them (alphabetical, ignoring case). The Edit
// Forum dialog and twk's checks and usage texts read it; texts that cannot (manual pages,
// completion, menu entry, AppStream data, README, the package description) are held to
// it by tests/install.
const std::vector<std::wstring>& KnownScripts();

// True for a name of KnownScripts(), compared exactly, as CreateEngine compares them.
bool IsKnownScript(const std::wstring& name);

// The names for a sentence: "Discourse, IPBoard, ... or vBulletin".
std::wstring KnownScriptsText();

// The names as a usage alternative: "Discourse|IPBoard|...|vBulletin".
std::wstring KnownScriptsChoice();

}  // namespace twk
