// Links and redirect targets resolved against the page's address, both flavours.
#include "FuzzInput.h"
#include "web/UrlResolver.h"
#include "web/WebClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const std::wstring base = input.Text();
    const std::wstring relative = input.Text();
    twk::HasUrlScheme(relative);
    const std::wstring kept = twk::ResolveReference(base, relative, false);
    const std::wstring escaped = twk::ResolveReference(base, relative, true);
    twk::CombineUrl(base, relative);
    // A resolved address resolved again against itself stays an address.
    if (!escaped.empty()) {
        twk::ResolveReference(escaped, kept, true);
    }
    return 0;
}
