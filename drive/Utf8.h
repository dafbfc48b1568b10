// Texts from the map go into JSON and XML, which must be valid UTF-8; names
// cut to a fixed byte length may end inside a character.
#ifndef VX_DRIVE_UTF8_H
#define VX_DRIVE_UTF8_H

#include <string>
#include <string_view>

namespace vxdrive {

/// The text with every byte that does not belong to a well-formed UTF-8
/// sequence (including overlong forms and surrogates) replaced by U+FFFD.
std::string ValidUtf8(std::string_view s);

}  // namespace vxdrive

#endif
