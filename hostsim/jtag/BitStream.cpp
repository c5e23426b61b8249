#include "hostsim/jtag/BitStream.h"

#include "devices/arria5/DeviceTables.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace hostsim::jtag {

namespace {

std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

void PutLE(uint8_t* p, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLE(const uint8_t* p, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

int64_t StreamBytes(const TDieTarget& die, const TBitStreamOptions& options)
{
    const int64_t bits = options.ConfigBits > 0 ? options.ConfigBits : die.ConfigBits;
    if (bits % 8 != 0) throw std::invalid_argument("configuration size of " + std::to_string(bits) +
                                                    " bits is not a whole number of bytes");
    if (bits / 8 < kBitStreamHeaderSize + kBitStreamCrcSize || bits / 8 > 0xFFFFFFFFll)
        throw std::invalid_argument("configuration size of " + std::to_string(bits) + " bits is out of range");
    return bits / 8;
}

// Produces the stream in pieces: padding, header, payload, CRC. The payload is a
// xorshift pattern, so streams differ by die, user code and seed.
template <class Sink> void ProduceStream(const TDieTarget& die, uint32_t userCode, const TBitStreamOptions& options,
                                         Sink&& sink)
{
    const int64_t total = StreamBytes(die, options);
    const uint32_t payload = static_cast<uint32_t>(total - kBitStreamHeaderSize - kBitStreamCrcSize);

    std::vector<uint8_t> chunk(1 << 16, 0xFF);
    for (uint32_t left = options.LeadingPadBytes; left > 0;) {
        const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(chunk.size()));
        sink(chunk.data(), n);
        left -= n;
    }

    uint8_t header[kBitStreamHeaderSize] = {};
    PutLE(header + 0, kBitStreamMagic, 4);
    PutLE(header + 4, kBitStreamVersion, 2);
    PutLE(header + 6, kBitStreamHeaderSize, 2);
    PutLE(header + 8, die.IdCode, 4);
    PutLE(header + 12, userCode, 4);
    PutLE(header + 16, payload, 4);
    TCrc32 crc;
    crc.Update(header, sizeof header);
    sink(header, sizeof header);

    uint32_t state = (die.IdCode ^ (userCode * 0x9E3779B9u) ^ (options.Seed * 0x85EBCA6Bu)) | 1u;
    for (uint32_t left = payload; left > 0;) {
        const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(chunk.size()));
        for (uint32_t i = 0; i < n; i += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            PutLE(chunk.data() + i, state, static_cast<int>(std::min<uint32_t>(4, n - i)));
        }
        crc.Update(chunk.data(), n);
        sink(chunk.data(), n);
        left -= n;
    }

    uint8_t tail[kBitStreamCrcSize];
    PutLE(tail, crc.Value(), 4);
    sink(tail, sizeof tail);
}

} // namespace

const uint32_t* TCrc32::Table()
{
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    return table.data();
}

TDieTarget DieOfKind(int32_t kind)
{
    if (kind < 0 || kind >= arria5::kDeviceKindCount)
        throw std::out_of_range("no Arria V device kind " + std::to_string(kind));
    const arria5::TDeviceParameters& parameters = arria5::DeviceKinds[kind];
    return {parameters.IdCode, arria5::DeviceResources[parameters.DevicePackage].ConfigMemorySize};
}

int64_t BitStreamSize(const TDieTarget& die, const TBitStreamOptions& options)
{
    return StreamBytes(die, options) + options.LeadingPadBytes;
}

void WriteBitStream(std::vector<uint8_t>& out, const TDieTarget& die, uint32_t userCode,
                    const TBitStreamOptions& options)
{
    out.clear();
    out.reserve(static_cast<size_t>(BitStreamSize(die, options)));
    ProduceStream(die, userCode, options, [&](const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); });
}

void WriteBitStream(const std::filesystem::path& path, const TDieTarget& die, uint32_t userCode,
                    const TBitStreamOptions& options)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot create '" + path.string() + "'");
    ProduceStream(die, userCode, options, [&](const uint8_t* data, size_t size) {
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    });
    file.close();
    if (!file) throw std::runtime_error("cannot write '" + path.string() + "'");
}

void WriteBitStream(std::vector<uint8_t>& out, int32_t kind, uint32_t userCode, const TBitStreamOptions& options)
{
    WriteBitStream(out, DieOfKind(kind), userCode, options);
}

void WriteBitStream(const std::filesystem::path& path, int32_t kind, uint32_t userCode,
                    const TBitStreamOptions& options)
{
    WriteBitStream(path, DieOfKind(kind), userCode, options);
}

// ---- TBitStreamReceiver ---------------------------------------------------------

TBitStreamReceiver::TBitStreamReceiver(const TDieTarget& die) : FDie(die), FTotalBytes(die.ConfigBits / 8)
{
    if (die.ConfigBits % 8 != 0 || FTotalBytes < kBitStreamHeaderSize + kBitStreamCrcSize)
        throw std::invalid_argument("configuration size of " + std::to_string(die.ConfigBits) +
                                    " bits cannot hold a stream");
}

void TBitStreamReceiver::Reset()
{
    FStatus = eWaitingForMagic;
    FWindow = 0;
    FByte = 0;
    FBitIndex = 0;
    FBytes = 0;
    FStoredCrc = 0;
    FCrc = TCrc32();
    FUserCode = 0xFFFFFFFFu;
    FReason.clear();
}

void TBitStreamReceiver::StartBody()
{
    FStatus = eReceiving;
    FByte = 0;
    FBitIndex = 0;
    FBytes = 4;
    PutLE(FHeader, kBitStreamMagic, 4);
    FCrc = TCrc32();
    FCrc.Update(FHeader, 4);
}

void TBitStreamReceiver::PushByte(uint8_t byte)
{
    const int64_t index = FBytes++;
    const int64_t crcStart = FTotalBytes - kBitStreamCrcSize;
    if (index < crcStart) {
        FCrc.Update(byte);
        if (index < kBitStreamHeaderSize) {
            FHeader[index] = byte;
            if (index == kBitStreamHeaderSize - 1) CheckHeader();
        }
        return;
    }
    FStoredCrc |= static_cast<uint32_t>(byte) << (8 * (index - crcStart));
    if (FBytes < FTotalBytes) return;
    if (FStoredCrc != FCrc.Value())
        return Reject("CRC " + Hex(FCrc.Value()) + " of the data does not match the stored " + Hex(FStoredCrc));
    FStatus = eComplete;
}

void TBitStreamReceiver::CheckHeader()
{
    const uint32_t version = GetLE(FHeader + 4, 2);
    const uint32_t headerSize = GetLE(FHeader + 6, 2);
    const uint32_t idCode = GetLE(FHeader + 8, 4);
    const uint32_t payload = GetLE(FHeader + 16, 4);
    if (version != kBitStreamVersion || headerSize != kBitStreamHeaderSize)
        return Reject("unknown stream format " + std::to_string(version) + "/" + std::to_string(headerSize));
    if (idCode != FDie.IdCode) return Reject("stream for IDCODE " + Hex(idCode) + ", device is " + Hex(FDie.IdCode));
    const int64_t expected = FTotalBytes - kBitStreamHeaderSize - kBitStreamCrcSize;
    if (payload != expected)
        return Reject("payload of " + std::to_string(payload) + " bytes, the die takes " + std::to_string(expected));
    FUserCode = GetLE(FHeader + 12, 4);
}

void TBitStreamReceiver::Reject(std::string reason)
{
    FStatus = eRejected;
    FReason = std::move(reason);
}

} // namespace hostsim::jtag
