#include "fetch_watch/fetch_bounds.h"

#include <gtest/gtest.h>

#include "fetch_watch/fetch_stop_texts.h"
#include "services/locations.h"

TEST(FetchBounds, SignedLengthOrCapAndRefusalWithoutOne) {
    const FetchBounds signed_bounds = bounds_of(163840);
    EXPECT_EQ(signed_bounds.most_bytes, 163840u);
    EXPECT_DOUBLE_EQ(signed_bounds.most_seconds, 70.0);  // 60 s + 160 KiB at 16 KiB/s
    EXPECT_TRUE(signed_bounds.signed_length);
    const FetchBounds capped = bounds_of(std::nullopt);
    EXPECT_EQ(capped.most_bytes, 65536u);
    EXPECT_DOUBLE_EQ(capped.most_seconds, 120.0);
    EXPECT_FALSE(capped.signed_length);

    EXPECT_FALSE(plan_fetch(locations::kApplicationPackageName, std::nullopt).bounds);
    EXPECT_EQ(plan_fetch(locations::kApplicationPackageName, 5).bounds->most_bytes, 5u);
    EXPECT_EQ(plan_fetch(locations::kUpdateMarkerName, std::nullopt).bounds->most_bytes, 65536u);
    EXPECT_EQ(plan_fetch(locations::kReleaseManifestName, std::nullopt).bounds->most_bytes, 65536u);
}

TEST(FetchBounds, WatchStopsPastLengthWhenIdleAndWhenTooLong) {
    FetchWatch sound(bounds_of(1000));
    EXPECT_FALSE(sound.observe(0.1, 0));
    EXPECT_FALSE(sound.observe(59.0, 0));     // nothing yet, but not a minute
    EXPECT_FALSE(sound.observe(60.0, 1000));  // exactly the signed length
    EXPECT_EQ(sound.observe(60.1, 1001), FetchStopReason::PastSignedLength);

    FetchWatch stalled(bounds_of(1 << 20));
    EXPECT_FALSE(stalled.observe(10.0, 10));
    EXPECT_FALSE(stalled.observe(70.0, 10));
    EXPECT_EQ(stalled.observe(70.1, 10), FetchStopReason::Idle);

    FetchWatch dripped(bounds_of(std::nullopt));  // a byte every 2 s never idles
    std::optional<FetchStopReason> stop;
    double seconds = 0;
    for (std::uint64_t length = 1; !stop; ++length, seconds += 2) {
        stop = dripped.observe(seconds, length);
    }
    EXPECT_EQ(stop, FetchStopReason::TooLong);
    EXPECT_GT(seconds, 120.0);
    EXPECT_LE(seconds, 124.0);
    EXPECT_EQ(FetchWatch(bounds_of(std::nullopt)).observe(1.0, 65537), FetchStopReason::PastCap);
}

TEST(FetchBounds, FreeSpaceRuleKeepsOneGibibyte) {
    const std::uint64_t gib = std::uint64_t{1} << 30;
    EXPECT_FALSE(leaves_too_little_free(gib + 100, 100));
    EXPECT_TRUE(leaves_too_little_free(gib + 99, 100));
    EXPECT_TRUE(leaves_too_little_free(50, 100));  // not even the file fits
}

TEST(FetchBounds, StopTextsNameTheFileAndTheBound) {
    EXPECT_EQ(fetch_stop_description(L"zunaveri-digital.exe", FetchStopReason::PastSignedLength, bounds_of(628661)),
              L"\"zunaveri-digital.exe\": transferência interrompida: passou do tamanho assinado (628661 bytes)");
    EXPECT_EQ(fetch_stop_description(L"m.txt", FetchStopReason::TooLong, bounds_of(std::nullopt)),
              L"\"m.txt\": transferência interrompida: passou do tempo máximo de 120 s de um arquivo sem tamanho "
              L"assinado");
    EXPECT_NE(fetch_stop_description(L"a", FetchStopReason::Idle, bounds_of(1)).find(L"em 60 s"), std::wstring::npos);
    EXPECT_NE(free_space_refusal(L"a", L"C:", 5, 6).find(L"menos de 1 GiB livre em C:"), std::wstring::npos);
}
