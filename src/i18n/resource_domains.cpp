#include "i18n/resource_domains.h"

#include <mutex>
#include <shared_mutex>

namespace lantorvix::i18n {

ResourceStringDomains::ResourceStringDomains() : names_{u"default"} {}

void ResourceStringDomains::Add(std::u16string_view domain)
{
    std::unique_lock lock(mutex_);
    names_.emplace_back(domain);
}

void ResourceStringDomains::Reset()
{
    std::unique_lock lock(mutex_);
    names_.assign({u"default"});
}

void ResourceStringDomains::ForEach(const std::function<bool(std::u16string_view)>& visit) const
{
    std::shared_lock lock(mutex_);
    for (const auto& name : names_) {
        if (visit(name)) {
            return;
        }
    }
}

} // namespace lantorvix::i18n
