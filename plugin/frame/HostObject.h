// Host objects as the plug-in sees them: dispatch references called through
// per-operation DISPIDs. A failure raised by the host arrives as THostCallError
// in the calling operation and becomes its failure status at the boundary.
#pragma once

#include "plugin/com/DispatchRef.h"

namespace tavrel {

using THostObject = com::TDispatchRef;
using THostCallError = com::TDispatchCallError;
using THostArg = com::TDispatchArg;

} // namespace tavrel
