// However a stream of scanner bytes is cut into receptions (all inside the time-out), the
// user sees the same key events and the same boxes as when it arrives in one reception.
// Streams stay under the buffer's 255-byte limit, where the split cannot change the outcome.

#include "faults/scanner_rig.h"
#include "support/test_temp_path.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

using namespace std::string_literals;

namespace lantorvix::test {
namespace {

struct Outcome {
    std::vector<RecordingKeyboard::Event> events;
    std::vector<RecordingKeyboard::Box> keyBoxes;
    std::vector<FakeShell::Box> boxes;
    std::string buffer;
    std::vector<int> keysDown;
};

struct Settings {
    const char* name;
    const char* ini;
};

const Settings kSettings[] = {
    {"CrLfEnterZeros", "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n"},
    {"CrTab", "[SCANNER]\nStopString=CR\n[PROGRAM]\nAddedString=TAB\nDiscardNull=0\n"},
    {"CrLfNothing", "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=NINCS\nDiscardNull=0\n"},
};

std::filesystem::path Folder()
{
    return TestTempPath("lantorvix-split-");
}

// Cuts are the offsets where a new reception starts (ascending, inside the stream). The rig
// is built once per settings and reset for each run.
Outcome RunScans(ScannerRig& rig, const std::string& stream, const std::vector<std::size_t>& cuts)
{
    rig.Reset();
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : stream.size();
        if (to > from) {
            rig.Receive(std::string_view(stream).substr(from, to - from));
        }
        from = to;
    }
    return {rig.keyboard.events, rig.keyboard.boxes, rig.shell.boxes, rig.form->ScanBuffer(),
            rig.keyboard.KeysDown()};
}

void ExpectSame(const Outcome& whole, const Outcome& split, const std::string& what)
{
    EXPECT_EQ(split.events, whole.events) << what;
    EXPECT_EQ(split.keyBoxes, whole.keyBoxes) << what;
    EXPECT_EQ(split.boxes, whole.boxes) << what;
    EXPECT_EQ(split.buffer, whole.buffer) << what;
    EXPECT_TRUE(split.keysDown.empty()) << what;
}

std::string Describe(const std::string& stream, const std::vector<std::size_t>& cuts)
{
    std::string out = "stream";
    for (unsigned char c : stream) {
        out += ' ' + std::to_string(c);
    }
    out += " cuts";
    for (auto c : cuts) {
        out += ' ' + std::to_string(c);
    }
    return out;
}

class SplitProperty : public ::testing::TestWithParam<Settings> {
protected:
    ScannerRig rig{Folder(), GetParam().ini};
};

// Every one of the 2^(n-1) splits of short streams that hold the awkward cases: a stop
// string cut in two, an empty code, zeros, a command character, a rejected key name, a
// trailing partial code.
TEST_P(SplitProperty, EverySplitOfShortStreamsTypesTheSame)
{
    const std::string streams[] = {
        "012\r\n3\r\n4",  "\r\n\r\n",       "12\r34\r\n", "+(b)~\r\n0\r\n", "{BAD}\r\n9\r\n", "{F1 x}\r\n",
        "a\0b\r\nc\r\n"s, "000\r\r\n\n7\r", "012345\r\n", "{\r\n}\r\n",     "%(\r\nq\r\n",
    };
    for (const std::string& stream : streams) {
        const Outcome whole = RunScans(rig, stream, {});
        const std::size_t gaps = stream.size() - 1;
        ASSERT_LE(gaps, 16u);
        for (std::uint32_t mask = 1; mask < (1u << gaps); ++mask) {
            std::vector<std::size_t> cuts;
            for (std::size_t g = 0; g < gaps; ++g) {
                if ((mask >> g) & 1u) {
                    cuts.push_back(g + 1);
                }
            }
            ExpectSame(whole, RunScans(rig, stream, cuts), Describe(stream, cuts));
            if (HasFailure()) {
                return;
            }
        }
    }
}

// Random streams of codes from a fixed seed, each cut at random points.
TEST_P(SplitProperty, RandomStreamsAndSplitsTypeTheSame)
{
    std::mt19937 random(20261208);
    const std::string alphabet = "0123456789ABCabc -+^%~(){}\r\n\t\x01\xE9";
    for (int round = 0; round < 100; ++round) {
        std::string stream;
        const std::size_t length = std::uniform_int_distribution<std::size_t>(1, 254)(random);
        while (stream.size() < length) {
            const int pick = std::uniform_int_distribution<int>(0, 9)(random);
            if (pick == 0) {
                stream += "\r\n";
            } else {
                stream +=
                    alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
            }
        }
        stream.resize(length);
        const Outcome whole = RunScans(rig, stream, {});
        for (int split = 0; split < 6; ++split) {
            std::vector<std::size_t> cuts;
            const double chance = std::uniform_real_distribution<double>(0.02, 0.9)(random);
            for (std::size_t at = 1; at < stream.size(); ++at) {
                if (std::bernoulli_distribution(chance)(random)) {
                    cuts.push_back(at);
                }
            }
            ExpectSame(whole, RunScans(rig, stream, cuts), Describe(stream, cuts));
            if (HasFailure()) {
                return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, SplitProperty, ::testing::ValuesIn(kSettings),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace lantorvix::test
