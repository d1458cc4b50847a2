#pragma once

namespace mirelight {

// The dongle's requests name buttons 1..kButtonCount by a single digit; the panel has as many.
inline constexpr int kButtonCount = 8;

} // namespace mirelight
