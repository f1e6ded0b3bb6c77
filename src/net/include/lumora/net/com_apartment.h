// The per-thread component library set-up of the platform this program was
// designed on. Nothing needs it on Linux; the calls stay where the design has
// them so the flow reads the same.
#pragma once

namespace lumora {

inline void co_initialize() {}
inline void co_uninitialize() {}

}  // namespace lumora
