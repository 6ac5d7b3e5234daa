#include "ui/window_dpi_scale.h"

namespace vexlan {

int32_t dpiToScale(uint32_t dpi) { return int32_t(dpi * 256u / 96u); }

}  // namespace vexlan
