#pragma once
// Key codes as the Windows virtual-key numbers that "KeyBindings.xml" and remote-control messages
// carry (VK_RETURN = 13, VK_UP = 38, ...).
#include <cstdint>

namespace lorvane {

// The virtual-key number of an SDL key code, or 0 when the key has none.
int VirtualKeyFromSdl(int32_t sdlKeycode);

}  // namespace lorvane
