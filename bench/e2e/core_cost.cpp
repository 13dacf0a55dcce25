// N 13-digit scans (code + CR LF, one reception each) through TForm1::ComPortRxChar, the
// port's ReadText on the fake device, SendKeys and the recording keyboard ("lean": a
// keyboard that only counts, so that the recording's own bookkeeping drops out). Run under
// callgrind with N and 2N (core_cost.sh): the difference over N is the cost of one scan,
// with start-up cancelled out. Exits non-zero when the typed text is not what was scanned.
// e2e_core_cost N [lean]

#include "faults/scanner_rig.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Counts key-downs; a US layout for digits and CR (the scanned codes need no more).
class CountingKeyboard : public lantorvix::KeyboardPlatform {
public:
    long downs = 0;
    lantorvix::ShiftedKey VkKeyScan(unsigned char ch) override
    {
        return ch >= '0' && ch <= '9' ? ch : ch == '\r' ? 0x0D : lantorvix::kNoKey;
    }
    std::uint32_t MapVirtualKey(std::uint8_t vk) override { return vk; }
    void KeyEvent(std::uint8_t, std::uint8_t, std::uint32_t flags) override
    {
        downs += (flags & lantorvix::kKeyEventKeyUp) == 0 ? 1 : 0;
    }
    bool IsNumLockOn() override { return false; }
    lantorvix::KeyStateTable GetKeyboardState() override { return state; }
    void SetKeyboardState(const lantorvix::KeyStateTable& table) override { state = table; }
    void PumpKeyboardMessages() override {}
    void ShowMessageBox(std::string_view, std::string_view) override { ++boxes; }
    lantorvix::KeyStateTable state{};
    int boxes = 0;
};

} // namespace

int main(int argc, char** argv)
{
    using namespace lantorvix::test;
    const long scans = argc > 1 ? std::atol(argv[1]) : 1000;
    const bool lean = argc > 2 && std::string(argv[2]) == "lean";
    CountingKeyboard counting;
    const auto folder =
        std::filesystem::temp_directory_path() / ("lantorvix-core-cost-" + std::to_string(::getpid()));
    bool ok = true;
    {
        ScannerRig rig(folder, "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n",
                       lean ? &counting : nullptr);
        std::string code = "4006381333931\r\n";
        for (long i = 0; i < scans; ++i) {
            code[12] = static_cast<char>('0' + i % 10);
            rig.Receive(code);
            if ((i + 1) % 1000 == 0) {
                // Keep the recording small; the last thousand codes are checked once, so the
                // check costs the same in every run and cancels out.
                if (i + 1 == scans && !lean) {
                    const std::string typed = rig.keyboard.TypedText();
                    ok = ok && typed.size() == 1000 * 14 &&
                         typed.substr(typed.size() - 14) == code.substr(0, 13) + "\n";
                }
                rig.keyboard.events.clear();
                rig.keyboard.calls.clear();
                rig.device->ClearCalls();
            }
        }
        ok = ok && rig.shell.boxes.empty() && rig.keyboard.boxes.empty() && counting.boxes == 0 &&
             (!lean || counting.downs == scans * 14);
    }
    std::printf("%ld scans %s\n", scans, ok ? "typed" : "WRONG");
    return ok ? 0 : 1;
}
