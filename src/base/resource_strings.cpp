#include "base/resource_strings.h"

#include <utility>

namespace lantorvix {

namespace {
ResourceStringLoader& Loader()
{
    static ResourceStringLoader loader;
    return loader;
}
} // namespace

void SetResourceStringLoader(ResourceStringLoader loader)
{
    Loader() = std::move(loader);
}

std::string LoadResString(std::string_view msgid)
{
    const auto& loader = Loader();
    return loader ? loader(msgid) : std::string(msgid);
}

} // namespace lantorvix
