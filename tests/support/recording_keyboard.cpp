#include "support/recording_keyboard.h"

#include "keys/virtual_keys.h"

#include <algorithm>
#include <set>

namespace lantorvix::test {

std::map<unsigned char, ShiftedKey> UsLayout()
{
    std::map<unsigned char, ShiftedKey> m;
    for (char c = 'a'; c <= 'z'; ++c) {
        m[static_cast<unsigned char>(c)] = static_cast<ShiftedKey>(c - 'a' + 'A');
        m[static_cast<unsigned char>(c - 'a' + 'A')] =
            MakeShiftedKey(static_cast<std::uint8_t>(c - 'a' + 'A'), 1);
    }
    const char* shiftedDigits = ")!@#$%^&*(";
    for (int d = 0; d < 10; ++d) {
        m[static_cast<unsigned char>('0' + d)] = static_cast<ShiftedKey>('0' + d);
        m[static_cast<unsigned char>(shiftedDigits[d])] =
            MakeShiftedKey(static_cast<std::uint8_t>('0' + d), 1);
    }
    const struct {
        char plain, shifted;
        std::uint8_t vk;
    } oem[] = {{';', ':', vk::kOem1},     {'=', '+', vk::kOemPlus},   {',', '<', vk::kOemComma},
               {'-', '_', vk::kOemMinus}, {'.', '>', vk::kOemPeriod}, {'/', '?', vk::kOem2},
               {'`', '~', vk::kOem3},     {'[', '{', vk::kOem4},      {'\\', '|', vk::kOem5},
               {']', '}', vk::kOem6},     {'\'', '"', vk::kOem7}};
    for (const auto& k : oem) {
        m[static_cast<unsigned char>(k.plain)] = k.vk;
        m[static_cast<unsigned char>(k.shifted)] = MakeShiftedKey(k.vk, 1);
    }
    m[' '] = vk::kSpace;
    m['\t'] = vk::kTab;
    m['\r'] = vk::kReturn;
    m['\n'] = MakeShiftedKey(vk::kReturn, kCtrlBit);
    m['\b'] = vk::kBack;
    return m;
}

namespace {
std::map<std::uint8_t, std::uint32_t> UsScanCodes()
{
    std::map<std::uint8_t, std::uint32_t> m;
    const char* rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const std::uint32_t firsts[] = {0x02, 0x10, 0x1E, 0x2C};
    for (int r = 0; r < 4; ++r) {
        for (std::uint32_t i = 0; rows[r][i] != '\0'; ++i) {
            m[static_cast<std::uint8_t>(rows[r][i])] = firsts[r] + i;
        }
    }
    const std::pair<std::uint8_t, std::uint32_t> others[] = {
        {vk::kBack, 0x0E},    {vk::kTab, 0x0F},      {vk::kReturn, 0x1C},   {vk::kShift, 0x2A},
        {vk::kControl, 0x1D}, {vk::kMenu, 0x38},     {vk::kSpace, 0x39},    {vk::kCapital, 0x3A},
        {vk::kEscape, 0x01},  {vk::kPrior, 0x49},    {vk::kNext, 0x51},     {vk::kEnd, 0x4F},
        {vk::kHome, 0x47},    {vk::kLeft, 0x4B},     {vk::kUp, 0x48},       {vk::kRight, 0x4D},
        {vk::kDown, 0x50},    {vk::kInsert, 0x52},   {vk::kDelete, 0x53},   {vk::kNumLock, 0x45},
        {vk::kScroll, 0x46},  {vk::kCancel, 0x46},   {vk::kClear, 0x4C},    {vk::kOem1, 0x27},
        {vk::kOemPlus, 0x0D}, {vk::kOemComma, 0x33}, {vk::kOemMinus, 0x0C}, {vk::kOemPeriod, 0x34},
        {vk::kOem2, 0x35},    {vk::kOem3, 0x29},     {vk::kOem4, 0x1A},     {vk::kOem5, 0x2B},
        {vk::kOem6, 0x1B},    {vk::kOem7, 0x28}};
    for (const auto& [k, s] : others) {
        m[k] = s;
    }
    for (std::uint8_t f = 0; f < 10; ++f) {
        m[static_cast<std::uint8_t>(vk::kF1 + f)] = 0x3Bu + f;
    }
    m[vk::kF1 + 10] = 0x57;
    m[vk::kF1 + 11] = 0x58;
    return m;
}
} // namespace

RecordingKeyboard::RecordingKeyboard() : layout(UsLayout()), scanCodes(UsScanCodes()) {}

std::vector<std::pair<int, int>> RecordingKeyboard::VkFlags() const
{
    std::vector<std::pair<int, int>> out;
    for (const auto& e : events) {
        out.emplace_back(e.vk, static_cast<int>(e.flags));
    }
    return out;
}

std::string RecordingKeyboard::TypedText() const
{
    std::map<ShiftedKey, unsigned char> reverse;
    for (const auto& [ch, key] : layout) {
        reverse.emplace(key, ch);
    }
    std::set<int> down;
    std::string out;
    for (const auto& e : events) {
        if (e.flags & kKeyEventKeyUp) {
            down.erase(e.vk);
            continue;
        }
        down.insert(e.vk);
        if (e.vk == vk::kShift || e.vk == vk::kControl || e.vk == vk::kMenu) {
            continue;
        }
        const bool ctrl = down.count(vk::kControl) != 0;
        const bool alt = down.count(vk::kMenu) != 0;
        if (ctrl || alt) {
            out += '<';
            if (ctrl) {
                out += '^';
            }
            if (alt) {
                out += '%';
            }
            out += std::to_string(e.vk);
            out += '>';
        } else if (e.vk == vk::kReturn) {
            out += '\n';
        } else if (const auto it = reverse.find(
                       MakeShiftedKey(e.vk, down.count(vk::kShift) ? kShiftBit : std::uint8_t{0}));
                   it != reverse.end()) {
            out += static_cast<char>(it->second);
        } else {
            out += '<';
            out += std::to_string(e.vk);
            out += '>';
        }
    }
    return out;
}

std::vector<int> RecordingKeyboard::KeysDown() const
{
    std::map<int, int> presses;
    for (const auto& e : events) {
        presses[e.vk] = (e.flags & kKeyEventKeyUp) ? 0 : 1;
    }
    std::vector<int> out;
    for (const auto& [k, p] : presses) {
        if (p) {
            out.push_back(k);
        }
    }
    return out;
}

ShiftedKey RecordingKeyboard::VkKeyScan(unsigned char ch)
{
    scanned.push_back(static_cast<char>(ch));
    const auto it = layout.find(ch);
    return it == layout.end() ? kNoKey : it->second;
}

std::uint32_t RecordingKeyboard::MapVirtualKey(std::uint8_t vk)
{
    calls.push_back("map " + std::to_string(vk));
    const auto it = scanCodes.find(vk);
    return it == scanCodes.end() ? 0 : it->second;
}

void RecordingKeyboard::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    calls.push_back("key " + std::to_string(vk) + " " + std::to_string(flags));
    events.push_back({vk, scan, flags});
}

bool RecordingKeyboard::IsNumLockOn()
{
    calls.push_back("numlock");
    return numLockOn;
}

KeyStateTable RecordingKeyboard::GetKeyboardState()
{
    calls.push_back("getstate");
    return keyState;
}

void RecordingKeyboard::SetKeyboardState(const KeyStateTable& table)
{
    calls.push_back("setstate");
    keyState = table;
    numLockOn = (table[vk::kNumLock] & 1) != 0;
}

void RecordingKeyboard::PumpKeyboardMessages()
{
    calls.push_back("pump");
    if (onPump) {
        onPump();
    }
}

void RecordingKeyboard::ShowMessageBox(std::string_view text, std::string_view caption)
{
    calls.push_back("box " + std::string(text));
    boxes.push_back({std::string(text), std::string(caption)});
    if (onBox) {
        onBox();
    }
}

void RecordingKeyboard::PrepareCharacters(std::string_view characters)
{
    calls.push_back("prepare " + std::string(characters));
}

} // namespace lantorvix::test
