#include "serial/com_port.h"

// Built only while the settings stores are not part of the tree: storing and loading then
// fail loudly instead of silently doing nothing.
namespace lantorvix {

void TCustomComPort::StoreToRegistry(RegistryStore&)
{
    throw EComPort(port_error::StoreFailed);
}

void TCustomComPort::StoreToIni(IniFile&)
{
    throw EComPort(port_error::StoreFailed);
}

void TCustomComPort::LoadFromRegistry(RegistryStore&)
{
    throw EComPort(port_error::LoadFailed);
}

void TCustomComPort::LoadFromIni(IniFile&)
{
    throw EComPort(port_error::LoadFailed);
}

} // namespace lantorvix
