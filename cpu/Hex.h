#pragma once

// The digits of every hex number that hummbox formats itself: the screens, the trace, the
// typed entries.
inline constexpr char hexDigits[] = "0123456789ABCDEF";
