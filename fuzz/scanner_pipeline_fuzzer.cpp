// The scanner pipeline on arbitrary bytes and arbitrary reception boundaries: TForm1 over
// the fake shell and device, typing into the recording keyboard, with timer ticks between
// receptions. Input: [settings][n][n reception lengths, high bit = a tick first][stream].
// Checks: the buffer never reaches its limit, no modifier is left down, and, when no
// tick came and the stream fits the buffer, the split receptions give exactly what one
// reception gives.
#include "faults/scanner_rig.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace lantorvix;
using namespace lantorvix::test;

namespace {

const char* const kSettings[] = {
    "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n",
    "[SCANNER]\nStopString=CR\n[PROGRAM]\nAddedString=TAB\nDiscardNull=0\n",
    "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=NINCS\nDiscardNull=0\n",
};

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lantorvix-fuzz-pipeline-" + std::to_string(::getpid()));
    return folder;
}

struct Outcome {
    std::vector<RecordingKeyboard::Event> events;
    std::vector<RecordingKeyboard::Box> keyBoxes;
    std::vector<FakeShell::Box> boxes;
};

Outcome Run(const char* settings, const std::string& stream, const std::vector<std::uint8_t>& lengths,
            bool& ticked)
{
    ScannerRig rig(Folder(), settings);
    std::size_t at = 0;
    std::size_t next = 0;
    while (at < stream.size()) {
        std::size_t length = stream.size() - at;
        if (!lengths.empty()) {
            const std::uint8_t l = lengths[next++ % lengths.size()];
            if ((l & 0x80) != 0 && rig.shell.Tick()) {
                ticked = true;
            }
            length = std::min<std::size_t>(length, (l & 0x3F) + 1u);
        }
        rig.Receive(std::string_view(stream).substr(at, length));
        at += length;
        if (rig.form->ScanBuffer().size() >= TForm1::kScanBufferLimit || !rig.keyboard.KeysDown().empty()) {
            std::abort();
        }
    }
    return {rig.keyboard.events, rig.keyboard.boxes, rig.shell.boxes};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const char* settings = kSettings[data[0] % 3];
    const std::size_t n = std::min<std::size_t>(data[1], size - 2);
    const std::vector<std::uint8_t> lengths(data + 2, data + 2 + n);
    const std::string stream(reinterpret_cast<const char*>(data + 2 + n), size - 2 - n);
    if (stream.size() > 4096) {
        return 0;
    }
    try {
        bool ticked = false;
        const Outcome split = Run(settings, stream, lengths, ticked);
        if (!ticked && stream.size() < TForm1::kScanBufferLimit) {
            bool none = false;
            const Outcome whole = Run(settings, stream, {}, none);
            if (split.events != whole.events || split.keyBoxes != whole.keyBoxes ||
                split.boxes != whole.boxes) {
                std::abort();
            }
        }
    } catch (...) {
        std::abort(); // nothing may leave the reception handler
    }
    return 0;
}
