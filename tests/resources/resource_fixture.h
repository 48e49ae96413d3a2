// Shared by the resource tests: the program's real compiled .res (read from
// the build tree, HUEVANE_RES_FILE), a little-endian byte builder for
// hand-made resources, and a fixture that installs bytes as the module's
// resources for the KERNEL32 and USER calls.
#pragma once

#include <windows.h>

#include "resources/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace resource_tests {

using win32::resources::Blob;
using win32::resources::ResEntry;
using win32::resources::ResourceId;

inline const std::vector<uint8_t>& realResFile()
{
    static const std::vector<uint8_t> bytes = [] {
        std::ifstream file(HUEVANE_RES_FILE, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

inline const std::vector<ResEntry>& realEntries()
{
    static const std::vector<ResEntry> entries = [] {
        std::string error;
        auto parsed = win32::resources::parseResFile(realResFile().data(), realResFile().size(), &error);
        EXPECT_TRUE(parsed) << error;
        return parsed ? *parsed : std::vector<ResEntry>{};
    }();
    return entries;
}

// The bytes of one resource of the real .res (any language), copied so
// tests may change them.
inline std::vector<uint8_t> realResource(uint16_t type, uint16_t name)
{
    for (const ResEntry& entry : realEntries())
        if (entry.type == ResourceId::fromOrdinal(type) && entry.name == ResourceId::fromOrdinal(name))
            return std::vector<uint8_t>(entry.data.data, entry.data.data + entry.data.size);
    ADD_FAILURE() << "no resource " << type << "/" << name << " in " << HUEVANE_RES_FILE;
    return {};
}

// The image a group resource lists first (RT_ICON or RT_CURSOR data).
inline std::vector<uint8_t> realGroupImage(uint16_t groupType, uint16_t groupName)
{
    std::vector<uint8_t> group = realResource(groupType, groupName);
    if (group.size() < 6 + 14)
        return {};
    uint16_t id = static_cast<uint16_t>(group[6 + 12] | (group[6 + 13] << 8));
    return realResource(groupType == 12 ? 1 : 3, id);
}

struct Bytes {
    std::vector<uint8_t> data;

    Bytes& u8(uint32_t v)
    {
        data.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v).u16(v >> 16); }
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Bytes& text(const std::string& s) // NUL-terminated UTF-16 (ASCII only)
    {
        for (char c : s)
            u16(static_cast<unsigned char>(c));
        return u16(0);
    }
    Bytes& align4()
    {
        while (data.size() % 4)
            u8(0);
        return *this;
    }
    Bytes& append(const std::vector<uint8_t>& more)
    {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    size_t size() const { return data.size(); }
};

// A type or name for a hand-made .res: an ordinal, or a string when given.
struct Id {
    uint16_t ordinal = 0;
    std::string name;
};

struct Record {
    Id type;
    Id name;
    uint16_t language = 0x0409;
    std::vector<uint8_t> data;
};

inline void writeId(Bytes& out, const Id& id)
{
    if (id.name.empty())
        out.u16(0xFFFF).u16(id.ordinal);
    else
        out.text(id.name);
}

// A 32-bit .res: the empty entry, then the records.
inline std::vector<uint8_t> makeRes(const std::vector<Record>& records)
{
    Bytes out;
    out.u32(0).u32(32).u16(0xFFFF).u16(0).u16(0xFFFF).u16(0).u32(0).u16(0).u16(0).u32(0).u32(0);
    for (const Record& record : records) {
        Bytes header;
        writeId(header, record.type);
        writeId(header, record.name);
        header.align4();
        header.u32(0).u16(0x1030).u16(record.language).u32(0).u32(0);
        out.u32(static_cast<uint32_t>(record.data.size())).u32(static_cast<uint32_t>(8 + header.size()));
        out.append(header.data).append(record.data).align4();
    }
    return out.data;
}

inline uint32_t readU32At(const std::vector<uint8_t>& data, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | data.at(offset + i);
    return value;
}

// Where a resource of the real .res starts inside the file.
inline size_t offsetInResFile(uint16_t type, uint16_t name)
{
    for (const ResEntry& entry : realEntries())
        if (entry.type == ResourceId::fromOrdinal(type) && entry.name == ResourceId::fromOrdinal(name))
            return static_cast<size_t>(entry.data.data - realResFile().data());
    ADD_FAILURE() << "no resource " << type << "/" << name;
    return 0;
}

inline void patch32(std::vector<uint8_t>& data, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

inline void patch16(std::vector<uint8_t>& data, size_t offset, uint16_t value)
{
    data.at(offset) = static_cast<uint8_t>(value);
    data.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

// Installs `bytes` as the module's resources for one test, and puts the
// embedded ones back afterwards.
class ModuleResources : public ::testing::Test {
protected:
    void install(std::vector<uint8_t> bytes)
    {
        installed_ = std::move(bytes);
        static const uint8_t nothing = 0;
        // Null would mean "the embedded resources"; empty bytes must stay empty.
        win32::resources::setModuleResources(installed_.empty() ? &nothing : installed_.data(), installed_.size());
    }
    void TearDown() override { win32::resources::setModuleResources(nullptr, 0); }

private:
    std::vector<uint8_t> installed_;
};

} // namespace resource_tests
