#pragma once
// The program's pictures, drawn from shapes at run time: the impact gauges, the six button
// symbols, the warning sign and the splash. No image files ship with the program.

#include "platform/Toolkit.h"

namespace pictures {

inline constexpr Rgb kAccent{0, 133, 195};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kDarkGrey{64, 64, 64};
inline constexpr Rgb kGrey{110, 110, 110};
inline constexpr Rgb kOrange{244, 140, 16};

enum class Needle { Right, Left, Up };

// 54 x 32, a blue gauge on white.
Drawing Gauge(Needle needle);

enum class Symbol { SelectAll, UnselectAll, Export, Run, Save, Exit };

// 54 x 59 (Run 40 x 59), white on the accent colour.
Drawing ButtonSymbol(Symbol symbol);

// 93 x 91: an orange triangle with a white exclamation mark, on white.
Drawing WarningSign();

Drawing Splash(int width, int height);

// size x size: the splash's white gauge on an accent square with rounded corners. The drawing's
// background is the transparent ground of the program's icon, which is made from it at build time.
Drawing ProgramIcon(int size);

}  // namespace pictures
