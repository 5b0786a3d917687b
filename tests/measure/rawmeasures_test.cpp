// The three status replies decoded byte for byte: each field of each layout lands in its
// slot, a reply cut short anywhere updates exactly the fields it holds whole, and the
// record's start values and Clear keep what they should.

#include "measure/rawmeasures.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QSet>

#include <functional>

using namespace ambrel;

namespace {

constexpr int kSpeed = -1, kBattery = -2, kDropped = -3;

struct TWireField {
    int Offset;
    int Size;
    int Target; // slot, kSpeed, kBattery or kDropped
};

// The layouts as the ECU documents them, field by field with explicit offsets.
const QList<TWireField> kStatusFields = [] {
    QList<TWireField> f = {{0, 2, kSpeed}, {2, 2, kBattery}};
    for (int s = 0; s < 8; ++s)
        f << TWireField{4 + 2 * s, 2, s};
    f << TWireField{20, 2, 8} << TWireField{22, 2, 9} << TWireField{24, 2, 10} << TWireField{26, 2, 11};
    for (int s = 12; s < 20; ++s)
        f << TWireField{28 + 2 * (s - 12), 2, s};
    f << TWireField{44, 2, 20} << TWireField{46, 2, 21};
    for (int s = 22; s < 30; ++s)
        f << TWireField{48 + 2 * (s - 22), 2, s};
    f << TWireField{64, 2, 30} << TWireField{66, 2, 31} << TWireField{68, 2, 32};
    for (int s = 34; s <= 38; ++s)
        f << TWireField{70 + 2 * (s - 34), 2, s};
    for (int s = 40; s <= 49; ++s)
        f << TWireField{80 + 2 * (s - 40), 2, s};
    f << TWireField{100, 2, 52} << TWireField{102, 1, 62} << TWireField{103, 1, 63};
    for (int s = 53; s <= 60; ++s)
        f << TWireField{104 + 2 * (s - 53), 2, s};
    f << TWireField{120, 1, 64};
    return f;
}();

const QList<TWireField> kStatusMinFields = {
    {0, 2, 0},   {2, 2, 4},   {4, 2, 22},  {6, 2, 26},  {8, 2, kSpeed}, {10, 2, 30},      {12, 2, 31},
    {14, 2, 40}, {16, 2, 9},  {18, 2, 10}, {20, 2, 32}, {22, 2, 38},    {24, 2, 36},      {26, 2, 41},
    {28, 2, 47}, {30, 2, 48}, {32, 2, 33}, {34, 2, 11}, {36, 1, 39},    {37, 2, 50},      {39, 1, 51},
    {40, 2, 52}, {42, 2, 37}, {44, 2, kBattery},        {46, 1, 61},    {47, 1, 64},
};

const QList<TWireField> kStatusExtFields = [] {
    QList<TWireField> f;
    for (int s = 0; s < 8; ++s)
        f << TWireField{2 * s, 2, s};
    f << TWireField{16, 2, 32} << TWireField{18, 2, 33} << TWireField{20, 2, 40} << TWireField{22, 2, kDropped}
      << TWireField{24, 2, kDropped} << TWireField{26, 2, kDropped} << TWireField{28, 2, kBattery}
      << TWireField{30, 2, kSpeed} << TWireField{32, 2, kDropped};
    return f;
}();

struct TLayoutCase {
    const char* Name;
    int Size;
    const QList<TWireField>* Fields;
    void (TRawMeasures::*Decode)(const QByteArray&);
};

const TLayoutCase kLayouts[] = {
    {"Status", 121, &kStatusFields, &TRawMeasures::DecodeStatus},
    {"StatusMin", 48, &kStatusMinFields, &TRawMeasures::DecodeStatusMin},
    {"StatusExt", 34, &kStatusExtFields, &TRawMeasures::DecodeStatusExt},
};

// A distinct value for every field: words 0x0100 + offset, bytes 0x80 + offset. Neither
// is 0xFFFF, so the "no signal" rule of the petrol-times reply stays out of the way.
int FieldValue(const TWireField& f) {
    return f.Size == 2 ? 0x0100 + f.Offset : 0x80 + f.Offset;
}

QByteArray Reply(const TLayoutCase& layout) {
    QByteArray data(layout.Size, '\0');
    for (const TWireField& f : *layout.Fields) {
        const int v = FieldValue(f);
        data[f.Offset] = static_cast<char>(v & 0xFF);
        if (f.Size == 2)
            data[f.Offset + 1] = static_cast<char>(v >> 8);
    }
    return data;
}

constexpr int kSentinel = 7777;

TRawMeasures Sentinels() {
    TRawMeasures r;
    r.EngineSpeed = kSentinel;
    r.Battery = kSentinel;
    r.Slot.fill(kSentinel);
    return r;
}

int Target(const TRawMeasures& r, int target) {
    if (target == kSpeed)
        return r.EngineSpeed;
    if (target == kBattery)
        return r.Battery;
    return r.Slot[static_cast<std::size_t>(target)];
}

class DecodeLayout : public ::testing::TestWithParam<TLayoutCase> {};

} // namespace

TEST_P(DecodeLayout, EveryFieldLandsInItsSlot) {
    const TLayoutCase& c = GetParam();
    TRawMeasures r = Sentinels();
    (r.*c.Decode)(Reply(c));
    QSet<int> written;
    for (const TWireField& f : *c.Fields) {
        if (f.Target == kDropped)
            continue;
        written << f.Target;
        EXPECT_EQ(Target(r, f.Target), FieldValue(f)) << c.Name << " offset " << f.Offset;
    }
    // Nothing else moves, except the solenoid flag that the standard reply works out.
    for (int s = 0; s < TRawMeasures::kSlotCount; ++s) {
        if (!written.contains(s) && !(c.Decode == &TRawMeasures::DecodeStatus && s == 61)) {
            EXPECT_EQ(r.Slot[static_cast<std::size_t>(s)], kSentinel) << c.Name << " slot " << s;
        }
    }
}

// Cut at every length: the fields held whole take their values, the rest keep theirs.
// At odd lengths this also guards against a byte field picking up the first half of a
// word that did not fit.
TEST_P(DecodeLayout, ShortReplyUpdatesOnlyItsWholeLeadingFields) {
    const TLayoutCase& c = GetParam();
    const QByteArray full = Reply(c);
    for (int length = 0; length <= c.Size; ++length) {
        TRawMeasures r = Sentinels();
        (r.*c.Decode)(full.left(length));
        for (const TWireField& f : *c.Fields) {
            if (f.Target == kDropped)
                continue;
            const bool whole = f.Offset + f.Size <= length;
            int expected = whole ? FieldValue(f) : kSentinel;
            // The short reply presets the engine state to "none" and the solenoid to open.
            if (!whole && c.Decode == &TRawMeasures::DecodeStatusMin && f.Target == 50)
                expected = 0xFFFF;
            if (!whole && c.Decode == &TRawMeasures::DecodeStatusMin && f.Target == 61)
                expected = 1;
            ASSERT_EQ(Target(r, f.Target), expected) << c.Name << " cut at " << length << ", offset " << f.Offset;
        }
    }
}

std::string LayoutName(const ::testing::TestParamInfo<TLayoutCase>& layout) {
    return layout.param.Name;
}

INSTANTIATE_TEST_SUITE_P(Layouts, DecodeLayout, ::testing::ValuesIn(kLayouts), LayoutName);

TEST(DecodeStatus, TwentyDataBytesSetSpeedBatteryAndPetrolTimesOnly) {
    TRawMeasures r = Sentinels();
    r.DecodeStatus(Reply(kLayouts[0]).left(20));
    EXPECT_EQ(r.EngineSpeed, 0x0100);
    EXPECT_EQ(r.Battery, 0x0102);
    EXPECT_EQ(r.Slot[7], 0x0100 + 18);
    EXPECT_EQ(r.Slot[8], kSentinel);
    EXPECT_EQ(r.Slot[32], kSentinel);
}

TEST(DecodeStatus, SolenoidIsOpenExactlyWhenOffPetrol) {
    for (const int petrolMode : {0, 1, 0x00FF}) {
        QByteArray data = Reply(kLayouts[0]);
        data[78] = static_cast<char>(petrolMode & 0xFF);
        data[79] = static_cast<char>(petrolMode >> 8);
        TRawMeasures r;
        r.DecodeStatus(data);
        EXPECT_EQ(r.Slot[61], petrolMode == 0 ? 1 : 0) << petrolMode;
    }
}

TEST(DecodeStatusMin, EngineStateNeedsBothBytesOfItsWord) {
    for (const int length : {37, 38}) {
        TRawMeasures r;
        r.Slot[50] = 2;
        r.DecodeStatusMin(Reply(kLayouts[1]).left(length));
        EXPECT_EQ(r.Slot[50], 0xFFFF) << length;
    }
}

TEST(DecodeStatusExt, NoSignalChannelReadsZero) {
    QByteArray data = Reply(kLayouts[2]);
    data[4] = data[5] = static_cast<char>(0xFF); // channel 3
    TRawMeasures r;
    r.DecodeStatusExt(data);
    EXPECT_EQ(r.Slot[2], 0);
    EXPECT_EQ(r.Slot[3], 0x0106);
}

TEST(RawMeasures, StartValues) {
    const TRawMeasures r;
    EXPECT_EQ(r.EngineSpeed, 0);
    EXPECT_EQ(r.Battery, 0);
    for (int s = 0; s < TRawMeasures::kSlotCount; ++s) {
        int expected = 0;
        if (s == 50 || s == 38)
            expected = 0xFFFF;
        else if (s == 39)
            expected = 160;
        else if (s == 62 || s == 63)
            expected = 255;
        EXPECT_EQ(r.Slot[static_cast<std::size_t>(s)], expected) << s;
    }
}

TEST(RawMeasures, ClearZeroesTheMeasuresAndKeepsTheStates) {
    TRawMeasures r = Sentinels();
    r.Clear();
    EXPECT_EQ(r.EngineSpeed, 0);
    EXPECT_EQ(r.Battery, kSentinel);
    const QSet<int> kept = {8, 11, 38, 39, 50, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65};
    for (int s = 0; s < TRawMeasures::kSlotCount; ++s)
        EXPECT_EQ(r.Slot[static_cast<std::size_t>(s)], kept.contains(s) ? kSentinel : 0) << s;
}
