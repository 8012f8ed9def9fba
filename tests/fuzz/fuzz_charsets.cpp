// Page bytes in every code page to text and back, charset names from headers, and
// character references.
#include "FuzzInput.h"
#include "web/Charsets.h"
#include "web/HtmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const uint32_t codePage = twk::fuzz::PickCodePage(input.Byte());
    const std::wstring contentType = input.Text();
    const std::string_view bytes = input.Rest();

    twk::CodePageFromCharset(contentType);
    twk::CharsetFromContentType(contentType);
    std::wstring text = twk::DecodeBytes(bytes, codePage);
    twk::DecodeEntities(text);
    twk::EncodeText(text, codePage);
    twk::DecodeEntities(twk::Utf8ToWide(bytes));

    twk::HtmlDocument doc;
    doc.LoadBytes(bytes, L"http://forum.test/", contentType);
    doc.DecodeText(bytes);
    return 0;
}
