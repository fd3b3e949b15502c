#pragma once

// The sixteen hex digits in upper case, indexed by a nibble's value: one table for every
// place that writes bytes and addresses as hex text.
inline constexpr char hexDigits[] = "0123456789ABCDEF";
