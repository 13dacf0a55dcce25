// glibc's own gettext is the oracle: for the same .mo file our reader and translation layer
// must give what dgettext gives.
#include "base/codepage.h"
#include "catalogue_fixture.h"
#include "i18n/line_ends.h"
#include "i18n/mo_catalogue.h"
#include "i18n/translation_instance.h"

#include <gtest/gtest.h>

#include <clocale>
#include <libintl.h>

namespace lantorvix {
namespace {

struct ByteOrder {
    const char* name;
    bool big;
};

class GettextDifferentialTest : public ::testing::TestWithParam<ByteOrder> {
protected:
    void SetUp() override
    {
        Bytes bytes = test::ReadBytes(test::TestCatalogue("sample.mo"));
        if (GetParam().big) {
            bytes = test::ToBigEndian(bytes);
        }
        domain_ = std::string("sample_") + GetParam().name;
        test::WriteBytes(dir_.Catalogue("xx", domain_), bytes);
        bytes_ = std::move(bytes);

        // C.UTF-8 always exists; LANGUAGE then picks the catalogue directory. glibc ignores
        // LANGUAGE only in the plain "C" locale.
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
        language_.emplace("LANGUAGE", "xx");
        const std::string locale = (dir_.Path() / "locale").string();
        ASSERT_NE(bindtextdomain(domain_.c_str(), locale.c_str()), nullptr);
        ASSERT_NE(bind_textdomain_codeset(domain_.c_str(), "UTF-8"), nullptr);
    }

    std::string Oracle(const std::string& msgid) const { return dgettext(domain_.c_str(), msgid.c_str()); }

    using Bytes = test::Bytes;
    test::TempDir dir_;
    std::optional<test::ScopedEnv> language_;
    std::string domain_;
    Bytes bytes_;
};

std::string WithCrLf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

TEST_P(GettextDifferentialTest, ReaderAgreesWithDgettextOnEveryMsgidAndOnMisses)
{
    const i18n::MoCatalogue catalogue(bytes_, domain_);
    ASSERT_EQ(catalogue.BigEndian(), GetParam().big);
    ASSERT_GT(catalogue.Count(), 10u);
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const std::string msgid(catalogue.Original(i));
        EXPECT_EQ(std::string(catalogue.Find(msgid).value_or("<missing>")), Oracle(msgid)) << msgid;
    }
    for (const std::string miss :
         {"cancel", "Cancel ", "apples", "First line\r\nSecond line", "Gr", "日本"}) {
        EXPECT_EQ(catalogue.Find(miss), std::nullopt) << miss;
        EXPECT_EQ(Oracle(miss), miss);
    }
}

TEST_P(GettextDifferentialTest, TranslationLayerAgreesWithDgettextForLfAndCrLfTexts)
{
    auto platform = i18n::MakeTranslationPlatform();
    i18n::TTranslationInstance instance((dir_.Path() / "locale").string(), "xx", *platform);
    const std::u16string domain = Utf8ToUtf16(domain_);
    const i18n::MoCatalogue catalogue(bytes_, domain_);
    int multiLine = 0;
    for (std::size_t i = 0; i < catalogue.Count(); ++i) {
        const std::string msgid(catalogue.Original(i));
        if (msgid.empty()) {
            continue;
        }
        // Texts reach the layer with CR LF line ends, catalogues hold LF; translations come
        // back with CR LF.
        const std::string expected = i18n::AddCarriageReturns(Oracle(msgid));
        multiLine += msgid.find('\n') != std::string::npos;
        for (const std::string& text : {msgid, WithCrLf(msgid)}) {
            EXPECT_EQ(Utf16ToUtf8(instance.TranslateInDomain(domain, Utf8ToUtf16(text))), expected) << text;
        }
    }
    EXPECT_GE(multiLine, 3);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, GettextDifferentialTest,
                         ::testing::Values(ByteOrder{"little", false}, ByteOrder{"big", true}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace lantorvix
