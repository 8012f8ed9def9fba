// A header block as a server may send it, searched for the headers the client reads.
#include "FuzzInput.h"
#include "web/HttpHeaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const std::wstring name = input.Text();
    const std::wstring headers = input.Text();
    twk::FindHeaderValue(headers, name);
    for (const wchar_t* known : {L"Location:", L"Content-Type:", L"Set-Cookie:"}) {
        twk::FindHeaderValue(headers, known);
    }
    return 0;
}
