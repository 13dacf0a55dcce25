// The INI reader on arbitrary text: parsing never fails, a value written can be read back,
// and writing one value leaves every other entry as it was.
#include "store/ini_document.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace lantorvix;
using namespace lantorvix::store;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    IniDocument doc(std::string(reinterpret_cast<const char*>(data), size));
    const auto sections = doc.Sections();
    for (const auto& section : sections) {
        for (const auto& key : doc.Keys(section)) {
            (void)doc.Value(section, key);
        }
    }

    const auto before = doc.Value("PORT", "PortNum");
    IniDocument reread(doc.Text());
    if (reread.Value("PORT", "PortNum") != before) {
        std::abort();
    }

    doc.SetValue("SCANNER", "StopStr", "crlf");
    if (doc.Value("SCANNER", "StopStr") != std::optional<std::string>("crlf")) {
        std::abort();
    }
    if (doc.Value("PORT", "PortNum") != before) {
        std::abort();
    }
    return 0;
}
