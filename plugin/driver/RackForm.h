// The instrument form a driver may own while the host shows its rack panel.
#pragma once

#include "plugin/com/ComTypes.h"

namespace tavrel {

class TRackForm {
public:
    virtual ~TRackForm() = default;
    // The form follows the host device the driver serves (empty when detached).
    virtual void SetTavrelDevice(com::IDispatch* device) = 0;
};

} // namespace tavrel
