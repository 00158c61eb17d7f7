// IRC control characters written into report lines.
#pragma once

inline constexpr char kColour = '\x03';
inline constexpr char kBold = '\x02';
inline constexpr char kPlain = '\x0f';
inline constexpr char kReverse = '\x16';
inline constexpr char kUnderline = '\x1f';
