// Builds D88 images byte by byte, for the tests, the fuzz corpus and the
// sample disk set. It writes the layout on its own and never borrows the
// reader's decoding, so a fault in one cannot hide a fault in the other;
// where a test reads a field of a file back, it uses readLe32 below.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/d88_reader.h"

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(size_t count, uint8_t value)
{
    return Bytes(count, value);
}

// Files of several images, or of one image many times over.
inline Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes repeat(const Bytes& image, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

// A file's bytes; false when they could not all be written.
inline bool writeBytes(const std::filesystem::path& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.close();
    return bool(out);
}

inline Bytes readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void putLe16(Bytes& out, size_t at, uint32_t value)
{
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

inline void putLe32(Bytes& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(value >> (8 * i));
}

class D88Builder {
public:
    static constexpr size_t headerSize = 0x2B0;
    static constexpr size_t recordHeaderSize = 16;

    // One sector record. The count and size fields normally follow from
    // the track and the data; a test may set them to lie.
    struct Record {
        SectorId id;
        Bytes data;
        int recordCount = -1;  // -1: the number of records on the track
        int dataSize = -1;     // -1: the size of `data`
    };

    void setName(const std::string& name) { name_ = name; }
    void setMediaType(uint8_t type) { mediaType_ = type; }
    // Overrides for the header's fields; by default they describe the
    // image as laid out.
    void setImageSize(uint32_t size) { imageSize_ = size; hasImageSize_ = true; }
    void setTrackOffset(int track, uint32_t offset) { trackOffsets_[track] = offset; }

    Record& addSector(int track, SectorId id, Bytes data)
    {
        tracks_[track].push_back(Record{id, std::move(data)});
        return tracks_[track].back();
    }

    std::vector<Record>& track(int index) { return tracks_[index]; }

    // The first record of `track` whose R is `r`, or null.
    const Record* find(int track, int r) const
    {
        auto it = tracks_.find(track);
        if (it == tracks_.end())
            return nullptr;
        for (const Record& record : it->second)
            if (record.id.r == r)
                return &record;
        return nullptr;
    }

    // The header, then the tracks in index order, each right after the
    // one before.
    Bytes image() const
    {
        Bytes out(headerSize, 0);
        std::memcpy(out.data(), name_.data(), std::min<size_t>(name_.size(), 17));
        out[0x1B] = mediaType_;
        for (const auto& [index, records] : tracks_) {
            if (trackOffsets_.count(index) == 0)
                putLe32(out, 0x20 + 4 * index, uint32_t(out.size()));
            for (const Record& record : records) {
                const size_t at = out.size();
                out.resize(at + recordHeaderSize + record.data.size(), 0);
                out[at + 0] = record.id.c;
                out[at + 1] = record.id.h;
                out[at + 2] = record.id.r;
                out[at + 3] = record.id.n;
                putLe16(out, at + 4, record.recordCount >= 0 ? uint32_t(record.recordCount)
                                                             : uint32_t(records.size()));
                putLe16(out, at + 14, record.dataSize >= 0 ? uint32_t(record.dataSize)
                                                           : uint32_t(record.data.size()));
                std::memcpy(out.data() + at + recordHeaderSize, record.data.data(),
                            record.data.size());
            }
        }
        for (const auto& [index, offset] : trackOffsets_)
            putLe32(out, 0x20 + 4 * index, offset);
        putLe32(out, 0x1C, hasImageSize_ ? imageSize_ : uint32_t(out.size()));
        return out;
    }

private:
    std::string name_;
    uint8_t mediaType_ = 0x20;  // 2HD
    uint32_t imageSize_ = 0;
    bool hasImageSize_ = false;
    std::map<int, uint32_t> trackOffsets_;
    std::map<int, std::vector<Record>> tracks_;
};
