#pragma once

#include <QtGlobal>

// The colours the panel shows, written 0x00BBGGRR: red in the low byte.
namespace Colour {

inline constexpr quint32 Black = 0x000000;
inline constexpr quint32 White = 0xFFFFFF;
inline constexpr quint32 Grey = 0x808080;
inline constexpr quint32 Red = 0x0000FF;
inline constexpr quint32 Green = 0x00FF00;
inline constexpr quint32 SendGreen = 0x00C000;
inline constexpr quint32 Blue = 0xFF0000;
inline constexpr quint32 Navy = 0x800000;
inline constexpr quint32 DarkBlue = 0xC00000;
inline constexpr quint32 WindowBackground = 0x80000005; // the system's colour for text boxes

} // namespace Colour
