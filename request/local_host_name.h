// The name under which the worker reports the local machine (".") when its request ends.
#pragma once

#include "core/text.h"

namespace appcensus {

// The host name of the network layer (Windows Sockets); empty when it is not started.
Text LocalHostName();

}  // namespace appcensus
