// Bounds-checked little-endian reading for the resource parsers. Every read
// checks what is left first and fails without moving when it does not fit, so
// a parser that checks each result can never read outside its bytes. Offsets
// and alignment are relative to the start of the data, which the formats
// define as DWORD-aligned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32::resources {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t offset() const { return offset_; }
    size_t size() const { return size_; }
    size_t remaining() const { return size_ - offset_; }
    const uint8_t* here() const { return data_ + offset_; }

    bool u8(uint8_t& value)
    {
        if (remaining() < 1)
            return false;
        value = data_[offset_++];
        return true;
    }
    bool u16(uint16_t& value)
    {
        if (remaining() < 2)
            return false;
        value = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
        offset_ += 2;
        return true;
    }
    bool u32(uint32_t& value)
    {
        if (remaining() < 4)
            return false;
        value = static_cast<uint32_t>(data_[offset_]) | (static_cast<uint32_t>(data_[offset_ + 1]) << 8) |
                (static_cast<uint32_t>(data_[offset_ + 2]) << 16) | (static_cast<uint32_t>(data_[offset_ + 3]) << 24);
        offset_ += 4;
        return true;
    }
    bool i16(int16_t& value)
    {
        uint16_t raw;
        if (!u16(raw))
            return false;
        value = static_cast<int16_t>(raw);
        return true;
    }
    bool i32(int32_t& value)
    {
        uint32_t raw;
        if (!u32(raw))
            return false;
        value = static_cast<int32_t>(raw);
        return true;
    }

    bool skip(size_t count)
    {
        if (count > remaining())
            return false;
        offset_ += count;
        return true;
    }

    bool seek(size_t offset)
    {
        if (offset > size_)
            return false;
        offset_ = offset;
        return true;
    }

    // Moves to the next multiple of four; padding that would run past the
    // end leaves the reader at the end, so the next read fails.
    void alignTo4()
    {
        size_t aligned = (offset_ + 3) & ~static_cast<size_t>(3);
        offset_ = aligned > size_ ? size_ : aligned;
    }

    bool bytes(size_t count, const uint8_t*& start)
    {
        if (count > remaining())
            return false;
        start = here();
        offset_ += count;
        return true;
    }

    // A NUL-terminated UTF-16 string; fails (without moving) when no NUL
    // comes before the end.
    bool utf16z(std::vector<uint16_t>& text)
    {
        text.clear();
        for (size_t at = offset_; at + 2 <= size_; at += 2) {
            uint16_t unit = static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8));
            if (unit == 0) {
                offset_ = at + 2;
                return true;
            }
            text.push_back(unit);
        }
        text.clear();
        return false;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

// Sets *error (when given) and returns an empty optional of any type, so a
// parser can write `return fail(error, "...");`.
struct Failure {
    template <typename T>
    operator std::optional<T>() const { return std::nullopt; }
};

inline Failure fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return Failure{};
}

inline uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace win32::resources
