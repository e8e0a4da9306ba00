#include "effects/color_adjustment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace quillo::effects {
namespace {

// Halves go to the even neighbour whatever the floating-point rounding mode is.
std::int64_t RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    auto result = static_cast<std::int64_t>(below);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) {
        ++result;
    }
    return result;
}

std::uint8_t ClampLevel(std::int64_t value) {
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

using LevelTable = std::array<std::uint8_t, 256>;

LevelTable ContrastTable(int contrast) {
    const int c = contrast == 100 ? 99 : contrast;
    // The two sides use different constants on purpose: the negative side's 0.015708 is not
    // quite pi/200, and -100 must flatten every level to 170 the way it always has.
    const double slope =
        c > 0 ? 1.0 / std::cos(c * std::numbers::pi / 200.0) : std::cos(c * 0.015708);
    LevelTable table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = ClampLevel(RoundHalfEven((i - 170) * slope + 170.0));
    }
    return table;
}

// Brightness then contrast, as one table.
LevelTable ToneTable(int brightness, int contrast) {
    const LevelTable contrastTable = ContrastTable(contrast);
    LevelTable table{};
    for (int j = 0; j < 256; ++j) {
        const std::int64_t scaled =
            (256 - static_cast<std::int64_t>(brightness) + std::int64_t{brightness} * j) / 256;
        table[j] = contrastTable[ClampLevel(scaled)];
    }
    return table;
}

struct SaturationTables {
    std::array<std::uint16_t, 256> weight{};     // a level scaled by the saturation
    std::array<std::int32_t, 768> greyOffset{};  // indexed by the sum of a pixel's bytes
};

SaturationTables MakeSaturationTables(int saturation) {
    SaturationTables tables;
    for (std::uint32_t v = 0; v < 256; ++v) {
        tables.weight[v] =
            static_cast<std::uint16_t>(((v + 1) * static_cast<std::uint32_t>(saturation)) >> 8);
    }
    for (int sum = 0; sum < 768; ++sum) {
        const int grey = sum / 3;
        tables.greyOffset[sum] = grey - tables.weight[grey];
    }
    return tables;
}

LevelTable ExposureTable(float exposure) {
    const double e = exposure;
    LevelTable table{};
    for (int i = 0; i < 256; ++i) {
        // Bounded so that an absurd exposure still gives a table instead of an overflow.
        const double scaled =
            std::clamp(256.0 * (1.0 - std::exp((i / -128.0) * (e / 128.0))), -1e12, 1e12);
        const std::int64_t r = RoundHalfEven(scaled);
        const std::int64_t headroom = 255 - i;
        const std::int64_t value = e >= 0 ? i + ((r * headroom) >> 8) : i - ((-r * headroom) >> 8);
        table[i] = ClampLevel(value);
    }
    return table;
}

// The row loops take their tables as plain pointer arguments: byte stores may alias anything
// reached through memory, which the compiler would then reload for every pixel.
void MapPixelRows(media::Bitmap& bitmap, const std::uint8_t* table, const std::uint32_t* rowOfSum) {
    const int width = bitmap.Width();
    for (int row = 0; row < bitmap.Height(); ++row) {
        std::uint8_t* pixel = bitmap.ScanLine(row);
        for (int x = 0; x < width; ++x, pixel += 3) {
            const std::uint8_t* levels = table + rowOfSum[pixel[0] + pixel[1] + pixel[2]];
            pixel[0] = levels[pixel[0]];
            pixel[1] = levels[pixel[1]];
            pixel[2] = levels[pixel[2]];
        }
    }
}

void MapByteRows(media::Bitmap& bitmap, const std::uint8_t* table) {
    const int bytes = bitmap.Width() * 3;
    for (int row = 0; row < bitmap.Height(); ++row) {
        std::uint8_t* level = bitmap.ScanLine(row);
        for (int i = 0; i < bytes; ++i) {
            level[i] = table[level[i]];
        }
    }
}

// The colour pass with a final level map folded into its tone table. A channel's outcome
// depends only on the pixel's byte sum and on the channel, and the sum only through its
// third: the saturation step and the tone table are composed, per third, into one table row,
// so that each pixel costs one row choice and three look-ups.
void ApplyColorPass(media::Bitmap& bitmap, const LevelTable& tone, int saturation) {
    const SaturationTables tables = MakeSaturationTables(saturation);
    std::vector<std::uint8_t> outcome(256 * 256);
    for (int grey = 0; grey < 256; ++grey) {
        const std::int32_t offset = tables.greyOffset[grey * 3];
        for (int level = 0; level < 256; ++level) {
            outcome[grey * 256 + level] =
                tone[std::clamp<std::int32_t>(offset + tables.weight[level], 0, 255)];
        }
    }
    std::array<std::uint32_t, 768> rowOfSum{};
    for (std::uint32_t sum = 0; sum < 768; ++sum) {
        rowOfSum[sum] = sum / 3 * 256;
    }
    const std::uint8_t* table = outcome.data();
    const std::uint32_t* rows = rowOfSum.data();
    MapPixelRows(bitmap, table, rows);
}

}  // namespace

void AdjustColors(media::Bitmap& bitmap, int brightness, int contrast, int saturation) {
    ApplyColorPass(bitmap, ToneTable(brightness, contrast), saturation);
}

void AdjustColorsAndExposure(media::Bitmap& bitmap, int brightness, int contrast, int saturation,
                             float exposure) {
    const LevelTable tone = ToneTable(brightness, contrast);
    const LevelTable exposed = ExposureTable(exposure);
    LevelTable both{};
    for (int i = 0; i < 256; ++i) {
        both[i] = exposed[tone[i]];
    }
    ApplyColorPass(bitmap, both, saturation);
}

void AdjustExposure(media::Bitmap& bitmap, float exposure) {
    const LevelTable exposed = ExposureTable(exposure);
    const std::uint8_t* table = exposed.data();
    MapByteRows(bitmap, table);
}

}  // namespace quillo::effects
