#pragma once

#include "web/HtmlDocument.h"
#include "web/HtmlTree.h"

namespace twk {

// The parsed page behind an HtmlDocument; shared by the document's source files.
struct HtmlDocument::Impl {
    HtmlTree tree;
};

}  // namespace twk
