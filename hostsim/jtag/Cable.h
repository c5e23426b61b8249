// The wire between a JTAG channel and a chain: one class per backend, like the
// drivers of a cable adapter. A cable drives TCK/TMS/TDI and reads TDO; it may
// hold pin writes back (to send them in batches) until a read needs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hostsim::jtag {

class TSimChain;

class TJtagCable {
public:
    virtual ~TJtagCable() = default;

    virtual std::string Describe() const = 0;
    // Sets the three driven pins; the chain sees the writes in order.
    virtual void Write(bool tck, bool tms, bool tdi) = 0;
    // TDO as it is after every write made so far.
    virtual bool ReadTdo() = 0;
    // Asserts (true) or releases the reset lines.
    virtual void SetReset(bool trst, bool srst) = 0;
    // Sends writes held back; a no-op for cables that hold nothing.
    virtual void Flush() {}

    // `count` TCK cycles. Cycle i drives TCK low with tms[i]/tdi[i], samples TDO
    // into tdo[i] when tdo is given (TDO as the last falling edge left it), then
    // raises TCK, which clocks the chain. TCK is low again at the end, so TDO then
    // shows the bit after the last shift. Levels are one byte each, 0 or 1.
    virtual void ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count);
};

// In-process cable: drives a simulated chain directly. The chain must outlive it.
class TSimCable : public TJtagCable {
public:
    explicit TSimCable(TSimChain& chain) : FChain(chain) {}

    std::string Describe() const override { return "simulated chain"; }
    void Write(bool tck, bool tms, bool tdi) override;
    bool ReadTdo() override;
    void SetReset(bool trst, bool srst) override;
    void ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override;

    TSimChain& Chain() const { return FChain; }

private:
    TSimChain& FChain;
};

} // namespace hostsim::jtag
