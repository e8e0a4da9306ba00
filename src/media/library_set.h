#pragma once

#include <cstdint>
#include <initializer_list>

namespace quillo::media {

// The media libraries, in the order they are loaded: a later library's dependency on an
// earlier one is then already satisfied.
enum class LibraryIndex : std::uint8_t {
    avcodec = 0,
    avdevice = 1,
    avfilter = 2,
    avformat = 3,
    avutil = 4,
    swscale = 5,
    swresample = 6,
    sdl2 = 7,
};

inline constexpr int LibraryCount = 8;

// A set of libraries, one bit per index.
class LibrarySet {
public:
    constexpr LibrarySet() = default;
    constexpr LibrarySet(std::initializer_list<LibraryIndex> indexes) {
        for (const LibraryIndex index : indexes) {
            bits_ |= Bit(index);
        }
    }

    constexpr bool Contains(LibraryIndex index) const { return (bits_ & Bit(index)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr LibrarySet operator|(LibrarySet other) const { return FromBits(bits_ | other.bits_); }
    constexpr bool operator==(const LibrarySet&) const = default;

private:
    static constexpr std::uint8_t Bit(LibraryIndex index) {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(index));
    }
    static constexpr LibrarySet FromBits(std::uint8_t bits) {
        LibrarySet set;
        set.bits_ = bits;
        return set;
    }

    std::uint8_t bits_ = 0;
};

inline constexpr LibrarySet ConverterLibrarySet{LibraryIndex::avcodec,  LibraryIndex::avfilter,
                                                LibraryIndex::avformat, LibraryIndex::avutil,
                                                LibraryIndex::swscale,  LibraryIndex::swresample};
inline constexpr LibrarySet PlayerLibrarySet = ConverterLibrarySet | LibrarySet{LibraryIndex::sdl2};

}  // namespace quillo::media
