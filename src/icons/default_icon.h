// The built-in default site icon: a complete 16 x 16, 32-bit ICO file that the program draws
// itself, shown for every engine whose site has no cached icon. It is always image 0 of the
// engine tree's image list.
#pragma once

#include <cstddef>

#include "text/local_text.h"

namespace trasslo {

// Size of the whole file: 6-byte header, one 16-byte directory entry and 1128 bytes of image
// (40-byte bitmap header, 16 x 16 x 4 colour bytes, 16 rows x 4 bytes of mask).
inline constexpr std::size_t default_icon_size = 1150;

// The transparent colour the default icon is added with, as a Windows colour value (0x00BBGGRR).
inline constexpr unsigned default_icon_transparent_colour = 16754942;

// The ICO file bytes of the default icon (a small blue globe), the same on every call.
const ByteBuffer& default_icon_bytes();

}  // namespace trasslo
