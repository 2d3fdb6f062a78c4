#include "Random.h"
#include "TwoFloats.h"

#include <gtest/gtest.h>

#include <set>

TEST(TwoFloats, NormalScalesToUnitLengthAndKeepsZero) {
    TwoFloats a = TwoFloats(3.0f, 4.0f).normal();
    EXPECT_FLOAT_EQ(a.x, 0.6f);
    EXPECT_FLOAT_EQ(a.y, 0.8f);
    TwoFloats zero = TwoFloats().normal();
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    TwoFloats left = TwoFloats(-2.0f, 0.0f).normal();
    EXPECT_EQ(left.x, -1.0f);
    EXPECT_EQ(left.y, 0.0f);
}

TEST(TwoFloats, ScalarOperatorsPutTheScalarFirst) {
    TwoFloats d = 1.0f - TwoFloats(0.25f, 2.0f);
    EXPECT_EQ(d.x, 0.75f);
    EXPECT_EQ(d.y, -1.0f);
    TwoFloats q = 1.0f / TwoFloats(2.0f, 4.0f);
    EXPECT_EQ(q.x, 0.5f);
    EXPECT_EQ(q.y, 0.25f);
    TwoFloats s = 2.0f + TwoFloats(1.0f, -3.0f);
    EXPECT_EQ(s.x, 3.0f);
    EXPECT_EQ(s.y, -1.0f);
    TwoFloats m = 3.0f * TwoFloats(0.5f, -2.0f);
    EXPECT_EQ(m.x, 1.5f);
    EXPECT_EQ(m.y, -6.0f);
}

TEST(Random, FirstDrawFromZeroMatchesTheWorkedExample) {
    Random random;
    random.counter = 0;
    float r = random.draw();
    // n = 1 gives 8193 after the shift, v = 1316808037, 1 - v / 2^30.
    EXPECT_EQ(r, static_cast<float>(1.0 - 1316808037.0 / 1073741824.0));
    EXPECT_NEAR(r, -0.22637305f, 1e-7f);
    EXPECT_EQ(random.counter, 1);
}

TEST(Random, DrawsStayInRangeAndWrapAroundTheCounter) {
    Random random;
    random.counter = 0x7ffffff0;
    std::set<float> seen;
    for (int i = 0; i < 64; ++i) {
        float r = random.draw();
        EXPECT_GE(r, -1.0f);
        EXPECT_LE(r, 1.0f);
        seen.insert(r);
    }
    // The counter wraps to negative values without undefined behaviour.
    EXPECT_EQ(random.counter, static_cast<int32_t>(0x80000030u));
    EXPECT_GT(seen.size(), 60u);
}

TEST(Random, GlobalInstanceAdvancesOneCounter) {
    int32_t before = Random::getGlobal().counter;
    Random::next();
    Random::next();
    EXPECT_EQ(Random::getGlobal().counter, before + 2);
}
