#include "catalogue_fixture.h"
#include "i18n/mo_catalogue.h"
#include "i18n/translation_error.h"

#include <gtest/gtest.h>

#include <functional>

namespace lantorvix {
namespace {

using i18n::ETranslationError;
using i18n::MoCatalogue;
using test::Bytes;

const char* const kInvalid = "This file is not a valid GNU gettext mo file: sample.mo";

bool Inside(std::string_view view, const Bytes& buffer)
{
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    return view.empty() || (view.data() >= begin && view.data() + view.size() <= begin + buffer.size());
}

// A damaged catalogue is either refused with the one message or, when its numbers still
// make sense, read without ever leaving its bytes.
void ExpectRefusedOrContained(const Bytes& damaged, const MoCatalogue& pristine)
{
    try {
        const MoCatalogue catalogue(damaged, "sample.mo");
        for (std::size_t i = 0; i < catalogue.Count(); ++i) {
            ASSERT_TRUE(Inside(catalogue.Original(i), damaged));
            ASSERT_TRUE(Inside(catalogue.Translation(i), damaged));
        }
        for (std::size_t i = 0; i < pristine.Count(); ++i) {
            if (const auto found = catalogue.Find(pristine.Original(i))) {
                ASSERT_TRUE(Inside(*found, damaged));
            }
        }
    } catch (const ETranslationError& e) {
        ASSERT_STREQ(e.what(), kInvalid);
    }
}

class MoCatalogueTest : public ::testing::Test {
protected:
    Bytes little_ = test::ReadBytes(test::TestCatalogue("sample.mo"));
    Bytes big_ = test::ToBigEndian(little_);
};

TEST_F(MoCatalogueTest, FixtureBigEndianCopyMatchesMsgfmtBigEndianOutput)
{
    EXPECT_EQ(big_, test::ReadBytes(test::TestCatalogue("sample-msgfmt-be.mo")));
}

TEST_F(MoCatalogueTest, BothByteOrdersReadTheSameEntries)
{
    const MoCatalogue le(little_, "sample.mo");
    const MoCatalogue be(big_, "sample.mo");
    EXPECT_FALSE(le.BigEndian());
    EXPECT_TRUE(be.BigEndian());
    ASSERT_EQ(le.Count(), be.Count());
    ASSERT_GT(le.Count(), 10u);
    for (std::size_t i = 0; i < le.Count(); ++i) {
        EXPECT_EQ(le.Original(i), be.Original(i));
        EXPECT_EQ(le.Translation(i), be.Translation(i));
        EXPECT_EQ(be.Find(le.Original(i)), le.Translation(i)) << le.Original(i);
        EXPECT_EQ(le.Find(le.Original(i)), le.Translation(i)) << le.Original(i);
    }
}

TEST_F(MoCatalogueTest, LookupIsExactAndGivesTheFirstPluralForm)
{
    const MoCatalogue catalogue(little_, "sample.mo");
    EXPECT_EQ(catalogue.Find("Cancel"), "Abbrechen");
    EXPECT_EQ(catalogue.Find("apple"), "Apfel");
    EXPECT_EQ(catalogue.Find("Größe"), "Méret – árvíztűrő tükörfúrógép");
    for (const char* missing : {"cancel", "Cancel ", "Cance", "apples", "\xff", "zzz", "A"}) {
        EXPECT_EQ(catalogue.Find(missing), std::nullopt) << missing;
    }
}

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
};

class DamagedCatalogueTest : public MoCatalogueTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedCatalogueTest, IsNotAValidCatalogue)
{
    Bytes bytes = little_;
    GetParam().apply(bytes);
    try {
        const MoCatalogue catalogue(bytes, "sample.mo");
        FAIL() << "accepted";
    } catch (const ETranslationError& e) {
        EXPECT_STREQ(e.what(), kInvalid);
    }
}

std::uint32_t Originals(const Bytes& b)
{
    return test::LittleWord(b, 12);
}
std::uint32_t Translations(const Bytes& b)
{
    return test::LittleWord(b, 16);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedCatalogueTest,
    ::testing::Values(
        Damage{"WrongMagic", [](Bytes& b) { b[0] ^= 1; }},
        Damage{"TextFile",
               [](Bytes& b) {
                   b.assign({'m', 's', 'g', 'i', 'd', ' ', '"', '"', '\n'});
               }},
        Damage{"ShorterThanHeader", [](Bytes& b) { b.resize(19); }},
        Damage{"HugeCount", [](Bytes& b) { test::PutLittleWord(b, 8, 0xFFFFFFFF); }},
        Damage{"OriginalsTablePastEnd",
               [](Bytes& b) { test::PutLittleWord(b, 12, static_cast<std::uint32_t>(b.size() + 4)); }},
        Damage{"TranslationsTableCutByEnd",
               [](Bytes& b) { test::PutLittleWord(b, 16, static_cast<std::uint32_t>(b.size() - 4)); }},
        Damage{"MsgidOffsetPastEnd",
               [](Bytes& b) {
                   test::PutLittleWord(b, Originals(b) + 4, static_cast<std::uint32_t>(b.size() + 1));
               }},
        Damage{"TranslationLengthPastEnd",
               [](Bytes& b) {
                   test::PutLittleWord(b, Translations(b) + 8, static_cast<std::uint32_t>(b.size()));
               }},
        Damage{"OffsetPlusLengthWrapsAround",
               [](Bytes& b) {
                   test::PutLittleWord(b, Translations(b), 0x20);
                   test::PutLittleWord(b, Translations(b) + 4, 0xFFFFFFF0);
               }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MoCatalogueTest, EveryTruncationIsRefusedOrReadInsideTheBytes)
{
    const MoCatalogue pristine(little_, "sample.mo");
    int refused = 0;
    for (std::size_t length = 0; length < little_.size(); ++length) {
        // An exact-size heap copy, so that a read past the end is caught by AddressSanitizer.
        const Bytes cut(little_.begin(), little_.begin() + static_cast<std::ptrdiff_t>(length));
        ExpectRefusedOrContained(cut, pristine);
        try {
            const MoCatalogue catalogue(cut, "sample.mo");
        } catch (const ETranslationError&) {
            ++refused;
        }
    }
    // Only the last string's terminating NUL may go without losing data.
    EXPECT_GE(refused, static_cast<int>(little_.size()) - 1);
}

TEST_F(MoCatalogueTest, EveryBitFlipIsRefusedOrReadInsideTheBytes)
{
    const MoCatalogue pristine(little_, "sample.mo");
    for (const Bytes* original : {&little_, &big_}) {
        for (std::size_t bit = 0; bit < original->size() * 8; ++bit) {
            Bytes flipped = *original;
            flipped[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
            ExpectRefusedOrContained(flipped, pristine);
            if (::testing::Test::HasFatalFailure()) {
                FAIL() << "bit " << bit;
            }
        }
    }
}

} // namespace
} // namespace lantorvix
