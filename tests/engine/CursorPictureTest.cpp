#include "CursorPicture.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::array<int, 4> rowBytes(const uint8_t* bits, int row)
{
    return {bits[4 * row], bits[4 * row + 1], bits[4 * row + 2], bits[4 * row + 3]};
}

}

TEST(CursorPicture, MasksAndHotspotOfTheHand)
{
    const uint8_t* data = nullptr;
    const uint8_t* mask = nullptr;
    int hotX = -1;
    int hotY = -1;
    decodeCursorPicture(&data, &mask, &hotX, &hotY);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(mask, nullptr);

    struct Row {
        int row;
        std::array<int, 4> data;
        std::array<int, 4> mask;
    };
    const Row rows[] = {
        {0, {0x70, 0, 0, 0}, {0x70, 0, 0, 0}},
        {1, {0x48, 0, 0, 0}, {0x78, 0, 0, 0}},
        {7, {0x78, 0x02, 0, 0}, {0x7F, 0xFE, 0, 0}},
        {8, {0x98, 0x02, 0, 0}, {0xFF, 0xFE, 0, 0}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(rowBytes(data, r.row), r.data) << "row " << r.row;
        EXPECT_EQ(rowBytes(mask, r.row), r.mask) << "row " << r.row;
    }
    for (int j = 14; j < 32; ++j) {
        EXPECT_EQ(rowBytes(data, j), (std::array<int, 4>{0, 0, 0, 0})) << "row " << j;
        EXPECT_EQ(rowBytes(mask, j), (std::array<int, 4>{0, 0, 0, 0})) << "row " << j;
    }
    // Black pixels are always inside the mask.
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(data[i] & ~mask[i], 0) << "byte " << i;
    EXPECT_EQ(hotX, 1);
    EXPECT_EQ(hotY, 0);
}
