// Lookups from many threads at once, racing the first opening of each catalogue and the
// writer of the resource-string domain list (run under ThreadSanitizer too).
#include "base/resource_strings.h"
#include "support/start_gate.h"
#include "translation_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

using ConcurrencyTest = test::TranslationTest;

TEST_F(ConcurrencyTest, ConcurrentLookupsAgreeWhileCataloguesOpenAndDomainsAreAdded)
{
    Install("sample.mo", "de", "default");
    Install("order_cport.mo", "de", "cport");
    for (int d = 0; d < 4; ++d) {
        Install("sample.mo", "de", "extra" + std::to_string(d));
    }
    test::ScopedEnv lang("LANG", "de_DE.UTF-8");
    i18n::StartTranslation(dir_.Executable());

    constexpr int kThreads = 6;
    constexpr int kRounds = 300;
    test::StartGate start(kThreads + 1);
    std::array<std::atomic<int>, 5> wrong{};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ASSERT_TRUE(start.ArriveAndWait());
            for (int round = 0; round < kRounds; ++round) {
                const std::u16string extra = u"extra" + Utf8ToUtf16(std::to_string((t + round) % 4));
                wrong[0] += i18n::TranslateText(u"Cancel") != u"Abbrechen";
                wrong[1] += i18n::TranslateInDomain(extra, u"First line\r\nSecond line") !=
                            u"Erste Zeile\r\nZweite Zeile";
                wrong[2] += i18n::TranslateTextAnsi("Zebra") != "Zebra (de)";
                wrong[3] += LoadResString(res::SMsgDlgCancel) != "Abbrechen";
                const std::string yes = LoadResString(res::SMsgDlgYes);
                wrong[4] += yes != "&Yes" && yes != "cport: Yes";
            }
        });
    }
    EXPECT_TRUE(start.ArriveAndWait());
    i18n::AddResourceStringDomain(u"cport");
    for (auto& thread : threads) {
        thread.join();
    }
    for (std::size_t check = 0; check < wrong.size(); ++check) {
        EXPECT_EQ(wrong[check].load(), 0) << "check " << check;
    }
    EXPECT_EQ(LoadResString(res::SMsgDlgYes), "cport: Yes");
}

} // namespace
} // namespace lantorvix
