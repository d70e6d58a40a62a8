#include "ui/moddrag.h"

namespace ui {
void Main() {}
} // namespace ui
