#include "engines/ScriptNames.h"

#include <algorithm>

namespace twk {

const std::vector<std::wstring>& KnownScripts() {
    static const std::vector<std::wstring> names = {
        L"Discourse", L"IPBoard", L"MyBB", L"NodeBB", L"phpBB", L"SMF", L"vBulletin",
    };
    return names;
}

bool IsKnownScript(const std::wstring& name) {
    const std::vector<std::wstring>& names = KnownScripts();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::wstring KnownScriptsText() {
    const std::vector<std::wstring>& names = KnownScripts();
    std::wstring text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? L" or " : L", ";
        }
        text += names[i];
    }
    return text;
}

std::wstring KnownScriptsChoice() {
    std::wstring text;
    for (const std::wstring& name : KnownScripts()) {
        text += (text.empty() ? L"" : L"|") + name;
    }
    return text;
}

}  // namespace twk
