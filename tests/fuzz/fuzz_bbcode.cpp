// A message body through the preview conversion and the tag helpers.
#include "FuzzInput.h"
#include "text/BBCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const int row = input.Byte() % 6;  // the rows of the tag table
    const std::wstring parameter = input.Text();
    const std::wstring body = input.Text();
    twk::BBCodeToHtml(body);
    twk::MakePreviewPage(body);
    twk::MakeTag(row, body, parameter);
    twk::UrlTagFor(twk::UrlFieldsForSelection(body));
    return 0;
}
