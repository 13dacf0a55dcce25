// The catalogue reader on arbitrary bytes: it either refuses the file or answers every
// lookup from inside it.
#include "i18n/mo_catalogue.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <span>
#include <string>
#include <vector>

using namespace lantorvix;
using namespace lantorvix::i18n;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly `size` bytes, so that ASan sees any read past the file's end.
    const std::vector<unsigned char> bytes(data, data + size);
    try {
        const MoCatalogue catalogue(std::span<const unsigned char>(bytes.data(), bytes.size()), "fuzz.mo");
        const std::size_t n = catalogue.Count();
        for (std::size_t i = 0; i < n && i < 64; ++i) {
            const std::string original(catalogue.Original(i));
            (void)catalogue.Translation(i);
            (void)catalogue.Find(original);
        }
        (void)catalogue.Find("");
        (void)catalogue.Find("Unable to write to %s");
    } catch (const std::exception&) {
        // refused as not a valid catalogue
    }
    return 0;
}
