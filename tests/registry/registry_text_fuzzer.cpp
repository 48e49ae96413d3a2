// libFuzzer target for the .reg reader and writer: any input either is
// refused with a line number inside the text, or reads into a document
// whose canonical text reads back into the same document and the same text.
#include "registry/registry_document.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace win32::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseResult first = parseRegistryText(text);
    if (!first.ok) {
        size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        if (first.errorLine < 1 || first.errorLine > lines || first.errorMessage.empty())
            std::abort();
        return 0;
    }
    std::string written = formatRegistryText(first.document);
    ParseResult second = parseRegistryText(written);
    if (!second.ok || !(second.document == first.document) || formatRegistryText(second.document) != written)
        std::abort();
    return 0;
}
