#include "StatusFile.h"

#include "platform/Files.h"

#include <cstring>

namespace kalo {

namespace {

constexpr int kLoadedSlots[4] = {0, 1, 6, 7};

void PutInt(uint8_t* at, int32_t value)
{
    const uint32_t v = uint32_t(value);
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
    at[2] = uint8_t(v >> 16);
    at[3] = uint8_t(v >> 24);
}

int32_t GetInt(const uint8_t* at)
{
    return int32_t(uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24);
}

} // namespace

bool StatusFile::HasStatusExtension(const std::string& name)
{
    return name.size() >= 3 && name.compare(name.size() - 3, 3, "sts") == 0;
}

void StatusFile::Encode(const StatusRecord& record, uint8_t (&bytes)[kSize])
{
    for (int slot = 0; slot < 8; ++slot) {
        for (int column = 0; column < 9; ++column)
            PutInt(bytes + 4 * (slot * 9 + column), record.switchPins[slot][column]);
    }
    PutInt(bytes + 288, record.doubleByteFontIndex);
}

void StatusFile::Decode(const uint8_t* bytes, size_t length, StatusRecord& record)
{
    uint8_t block[kSize] = {};
    std::memcpy(block, bytes, length < kSize ? length : kSize);
    for (int slot : kLoadedSlots) {
        for (int column = 0; column < 9; ++column)
            record.switchPins[slot][column] = GetInt(block + 4 * (slot * 9 + column));
    }
    record.doubleByteFontIndex = GetInt(block + 288);
}

bool StatusFile::Save(const std::string& path, const StatusRecord& record, std::string& error)
{
    uint8_t bytes[kSize];
    Encode(record, bytes);
    return platform::SaveFile(path, bytes, kSize, error);
}

bool StatusFile::Load(const std::string& path, StatusRecord& record, std::string& error)
{
    std::string bytes;
    // A status file is its first 292 bytes; what follows is ignored, not refused.
    if (!platform::ReadFileStart(path, kSize, bytes, error))
        return false;
    Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), record);
    return true;
}

} // namespace kalo
