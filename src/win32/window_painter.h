// Drawing of windows and controls into the cell buffer.
#pragma once

#include "term/cell_buffer.h"
#include "term/widgets.h"
#include "win32/win32_layer.h"

#include <string>
#include <vector>

namespace winlayer {

// A window with its controls, at its place on the screen.
void paintWindow(CellBuffer &buffer, const Window &window);

} // namespace winlayer
