#include "serial/component.h"

#include "base/exception.h"
#include "base/format.h"
#include "base/resource_strings.h"

namespace lantorvix {

void TPersistent::AssignTo(TPersistent& dest) const
{
    const std::string source = ClassName();
    const std::string target = dest.ClassName();
    throw EConvertError(Format(LoadResString(res::SAssignError), {source, target}));
}

} // namespace lantorvix
