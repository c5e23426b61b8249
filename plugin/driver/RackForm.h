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

#include "plugin/frame/HostObject.h"

#include <memory>

namespace tavrel {

// The hard device viewer form for a host device and its JTAG device; empty
// while this build carries no instrument forms.
std::unique_ptr<TRackForm> CreateHardDeviceViewerForm(com::IDispatch* device, com::IDispatch* jtagDevice);
// The view the host's rack holds for a form (it takes the form over).
THostObject CreateRackView(TRackForm& form);

} // namespace tavrel
