// The raw bit file the simulated Arria V devices accept, its writer and the
// incremental check a device runs while configuration data is shifted in.
//
// Layout (little-endian fields; sent byte by byte in file order, bit 0 first):
//   [pad]  any number of 0xFF bytes, ignored by the device
//   0      magic "A5CF"
//   4      uint16 format version (1)
//   6      uint16 header size (24)
//   8      uint32 IDCODE of the die the stream is for
//   12     uint32 user code the configured device reports
//   16     uint32 payload length in bytes
//   20     uint32 reserved (0)
//   24     payload (configuration data)
//   24+P   uint32 CRC-32 (IEEE 802.3) of bytes 0 .. 24+P-1
// Magic to CRC is exactly the die's configuration size in bits, so
// P = ConfigMemorySize / 8 - 28.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace hostsim::jtag {

inline constexpr uint32_t kBitStreamMagic = 0x46433541u; // "A5CF" read as a little-endian word
inline constexpr uint16_t kBitStreamVersion = 1;
inline constexpr uint32_t kBitStreamHeaderSize = 24;
inline constexpr uint32_t kBitStreamCrcSize = 4;

// Running CRC-32 (reflected polynomial 0xEDB88320, initial value and final xor all ones).
class TCrc32 {
public:
    void Update(uint8_t byte) { FValue = Table()[(FValue ^ byte) & 0xFFu] ^ (FValue >> 8); }
    void Update(const uint8_t* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i) Update(data[i]);
    }
    uint32_t Value() const { return ~FValue; }

private:
    static const uint32_t* Table();
    uint32_t FValue = 0xFFFFFFFFu;
};

// What a stream is built for: the die's IDCODE and configuration size.
struct TDieTarget {
    uint32_t IdCode = 0;
    int64_t ConfigBits = 0;
};
// The die of an Arria V kind (0..324); throws std::out_of_range for other kinds.
TDieTarget DieOfKind(int32_t kind);

struct TBitStreamOptions {
    int64_t ConfigBits = 0;       // size from magic to CRC in bits; 0 takes the die's own size
    uint32_t LeadingPadBytes = 0; // 0xFF bytes written before the magic
    uint32_t Seed = 0;            // varies the payload pattern
};

// Bytes of the stream for the target, padding included.
int64_t BitStreamSize(const TDieTarget& die, const TBitStreamOptions& options = {});

// Writes the stream for a die. Throws std::invalid_argument when the size is not
// a whole number of bytes or too small for header and CRC.
void WriteBitStream(std::vector<uint8_t>& out, const TDieTarget& die, uint32_t userCode,
                    const TBitStreamOptions& options = {});
void WriteBitStream(const std::filesystem::path& path, const TDieTarget& die, uint32_t userCode,
                    const TBitStreamOptions& options = {});
// The same for the die of an Arria V kind.
void WriteBitStream(std::vector<uint8_t>& out, int32_t kind, uint32_t userCode,
                    const TBitStreamOptions& options = {});
void WriteBitStream(const std::filesystem::path& path, int32_t kind, uint32_t userCode,
                    const TBitStreamOptions& options = {});

// Checks a stream bit by bit as it arrives, in constant memory. Bits before the
// magic (leading clocks, padding, bits of bypass registers) are skipped; bits
// after the CRC (trailer clocks) are ignored.
class TBitStreamReceiver {
public:
    enum TStatus { eWaitingForMagic, eReceiving, eComplete, eRejected };

    explicit TBitStreamReceiver(const TDieTarget& die);

    void Reset();
    void PushBit(bool bit)
    {
        switch (FStatus) {
        case eWaitingForMagic:
            FWindow = (FWindow >> 1) | (static_cast<uint32_t>(bit) << 31);
            if (FWindow == kBitStreamMagic) StartBody();
            return;
        case eReceiving:
            FByte |= static_cast<uint8_t>(static_cast<uint8_t>(bit) << FBitIndex);
            if (++FBitIndex == 8) {
                PushByte(FByte);
                FByte = 0;
                FBitIndex = 0;
            }
            return;
        default: return;
        }
    }

    TStatus Status() const { return FStatus; }
    bool Complete() const { return FStatus == eComplete; }
    uint32_t UserCode() const { return FUserCode; }
    // Bytes taken since the magic (the magic included).
    int64_t BytesReceived() const { return FBytes; }
    // Why the stream was rejected; empty otherwise.
    const std::string& RejectReason() const { return FReason; }

private:
    void StartBody();
    void PushByte(uint8_t byte);
    void CheckHeader();
    void Reject(std::string reason);

    TDieTarget FDie;
    int64_t FTotalBytes;
    TStatus FStatus = eWaitingForMagic;
    uint32_t FWindow = 0;
    uint8_t FByte = 0;
    int32_t FBitIndex = 0;
    int64_t FBytes = 0;
    uint8_t FHeader[kBitStreamHeaderSize] = {};
    uint32_t FStoredCrc = 0;
    TCrc32 FCrc;
    uint32_t FUserCode = 0xFFFFFFFFu;
    std::string FReason;
};

} // namespace hostsim::jtag
