#include "Exhibition.h"
#include "ExhibitionClock.h"

#include <gtest/gtest.h>

TEST(Exhibition, WaitsAreReadAsSecondsOrLeftAlone) {
    Uint32 hold = 1, idle = 2;
    EXPECT_TRUE(Exhibition::parseWaits("5,20", hold, idle));
    EXPECT_EQ(hold, 5000u);
    EXPECT_EQ(idle, 20000u);
    EXPECT_TRUE(Exhibition::parseWaits("0,0.25", hold, idle));
    EXPECT_EQ(hold, 0u);
    EXPECT_EQ(idle, 250u);
    for (const char* bad :
         {"", "5", "5,", ",20", "5;20", "5,20,1", "5,20s", "-1,20", "5,0", "5,nan", "inf,5", "5,100000"}) {
        hold = 1;
        idle = 2;
        EXPECT_FALSE(Exhibition::parseWaits(bad, hold, idle)) << bad;
        EXPECT_EQ(hold, 1u) << bad;
        EXPECT_EQ(idle, 2u) << bad;
    }
}

TEST(Exhibition, EscapeQuitsOnlyOnceHeldForThreeSecondsAcrossTheTickWrap) {
    Exhibition exhibition;
    const Uint32 down = 0xFFFFF000u; // 4 s before the tick count wraps
    EXPECT_FALSE(exhibition.escapeHeld(down + 5000));
    exhibition.escapeDown(down);
    exhibition.escapeDown(down + 1000); // repeated without a release
    EXPECT_FALSE(exhibition.escapeHeld(down + 2999));
    EXPECT_TRUE(exhibition.escapeHeld(down + 3000));
    exhibition.escapeUp();
    EXPECT_FALSE(exhibition.escapeHeld(down + 4000));
    // A tap, then a new press: the hold counts from the new press.
    exhibition.escapeDown(down + 5000);
    EXPECT_FALSE(exhibition.escapeHeld(down + 7999));
    EXPECT_TRUE(exhibition.escapeHeld(down + 8000));
}

TEST(ExhibitionClock, IdleCountsFromTheLastKeyUntilTheFinaleBegins) {
    const Uint32 start = 0xFFFF0000u;
    ExhibitionClock clock(30000, 180000, start);
    EXPECT_EQ(clock.check(start + 179999, false, true, false), ExhibitionClock::Stay);
    clock.keyPressed(start + 100000);
    EXPECT_EQ(clock.check(start + 279999, false, true, false), ExhibitionClock::Stay);
    EXPECT_EQ(clock.check(start + 280000, false, true, false), ExhibitionClock::Idle);
    EXPECT_EQ(clock.check(start + 900000, true, true, false), ExhibitionClock::Stay);
}

TEST(ExhibitionClock, HeardTheHoldStartsWhenTheVoicesEnd) {
    ExhibitionClock clock(30000, 180000, 0);
    clock.finaleEnded(1000, 17500);
    // Voices that play on past their length (a late audio thread) hold the scene.
    EXPECT_EQ(clock.check(60000, true, true, true), ExhibitionClock::Stay);
    EXPECT_EQ(clock.check(61000, true, true, false), ExhibitionClock::Stay);
    EXPECT_EQ(clock.check(90999, true, true, false), ExhibitionClock::Stay);
    EXPECT_EQ(clock.check(91000, true, true, false), ExhibitionClock::AfterFinale);
}

TEST(ExhibitionClock, UnheardTheRecordingsCountTheirLength) {
    // No output (or one that died): voices never end, so their length counts.
    ExhibitionClock clock(30000, 180000, 0);
    clock.finaleEnded(1000, 17500);
    EXPECT_EQ(clock.check(48499, true, false, true), ExhibitionClock::Stay);
    EXPECT_EQ(clock.check(48500, true, false, true), ExhibitionClock::AfterFinale);
    // A stream that dies after the voices have ended keeps the hold they began.
    ExhibitionClock late(30000, 180000, 0);
    late.finaleEnded(1000, 17500);
    EXPECT_EQ(late.check(20000, true, true, false), ExhibitionClock::Stay);
    EXPECT_EQ(late.check(49999, true, false, true), ExhibitionClock::Stay);
    EXPECT_EQ(late.check(50000, true, false, true), ExhibitionClock::AfterFinale);
}
