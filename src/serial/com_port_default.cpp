#include "serial/com_port.h"

namespace lantorvix {

// Kept apart so that programs which give the port a device of their own (tests) do not
// need the platform library.
TCustomComPort::TCustomComPort(TComponent* owner) : TCustomComPort(owner, CreateCommDevice(), nullptr) {}

} // namespace lantorvix
