#pragma once
// Whether this build runs under AddressSanitizer. There every allocation
// carries redzones and freed memory sits in quarantine, so resident sizes say
// little: memory bounds are checked in the plain build only.

namespace velm::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace velm::test
