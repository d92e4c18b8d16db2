// The firmware query's way through the relay, for when no serial port is open.
#pragma once

#include <string_view>

#include "pages/device_queries.h"
#include "relay/net.h"

namespace telvora {

// Asks the unit for its firmware text through `net` (command 4, address 0, length 0, 'r';
// one frame request), then posts string 199 to the main window whatever the outcome.
QueryAnswer QueryFirmwareThroughRelay(Cnet& net, std::u16string_view password);

}  // namespace telvora
