#include "keys/send_keys.h"

#include "base/str_to_int.h"
#include "keys/key_injection.h"
#include "keys/key_names.h"
#include "keys/key_sequence_scope.h"
#include "keys/virtual_keys.h"

#include <optional>
#include <string>

namespace lantorvix {

namespace {
constexpr std::size_t kNameBufferSize = 20;
constexpr ShiftedKey kOpenBraceKey = MakeShiftedKey(vk::kOem4, kShiftBit);
constexpr ShiftedKey kCloseBraceKey = MakeShiftedKey(vk::kOem6, kShiftBit);

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// One item in braces, read from the "{" at `pos`: the one reading of the grammar that both
// typing and CharactersNeeded follow.
struct BracedItem {
    enum class Kind { openBrace, closeBrace, named, unclosed };
    Kind kind = Kind::named;
    std::string name;                 // upper-cased, at most kNameBufferSize bytes, no count
    std::optional<std::string> count; // what followed the first space of the name
    std::size_t next = 0;             // where reading goes on
};

BracedItem ReadBracedItem(std::string_view text, std::size_t pos)
{
    BracedItem item;
    if (pos + 1 < text.size() && text[pos + 1] == '{') {
        item.kind = BracedItem::Kind::openBrace;
        item.next = pos + 3; // "{{}", whatever the third byte is
        return item;
    }
    std::size_t i = pos + 1;
    for (; i < text.size() && text[i] != '}'; ++i) {
        if (item.name.size() < kNameBufferSize) {
            item.name.push_back(UpperAscii(text[i]));
        }
    }
    if (i >= text.size()) {
        item.kind = BracedItem::Kind::unclosed;
        item.next = text.size();
        return item;
    }
    item.next = i + 1;
    if (item.next < text.size() && text[item.next] == '}') {
        item.kind = BracedItem::Kind::closeBrace;
        ++item.next;
        return item;
    }
    if (const auto space = item.name.find(' '); space != std::string::npos) {
        item.count = item.name.substr(space + 1);
        item.name.resize(space);
    }
    return item;
}

bool IsCommandCharacter(char c)
{
    return std::string_view("+^%()~{").find(c) != std::string_view::npos;
}

// The parse state of one SendKeys call.
class SequenceReader {
public:
    // literal: every byte is a character to type, none is a command.
    SequenceReader(KeyboardPlatform& keyboard, std::string_view text, bool pump, bool literal = false)
        : keyboard_(keyboard), text_(text), pump_(pump), literal_(literal)
    {}

    bool Run()
    {
        while (pos_ < text_.size()) {
            if (!Step()) {
                return false;
            }
        }
        ReleasePendingModifiers();
        return true;
    }

private:
    // Acts on the byte at the position; false when reading has to stop (an unclosed brace).
    bool Step()
    {
        const char c = text_[pos_];
        if (literal_ || !IsCommandCharacter(c)) {
            PlainCharacter(static_cast<unsigned char>(c));
            ++pos_;
            return true;
        }
        switch (c) {
        case '+':
            PressPrefix(shift_, vk::kShift);
            break;
        case '^':
            PressPrefix(ctrl_, vk::kControl);
            break;
        case '%':
            PressPrefix(alt_, vk::kMenu);
            break;
        case '(':
            group_ = true;
            break;
        case ')':
            group_ = false;
            ReleasePendingModifiers();
            break;
        case '~':
            SendVirtualKey(keyboard_, vk::kReturn, 1, true, pump_);
            ReleasePendingModifiers();
            break;
        default: // '{'
            return Braced();
        }
        ++pos_;
        return true;
    }

    void PressPrefix(bool& pending, std::uint8_t modifier)
    {
        pending = true;
        SendVirtualKey(keyboard_, modifier, 1, false, pump_);
    }

    void PlainCharacter(unsigned char c)
    {
        const ShiftedKey key = keyboard_.VkKeyScan(c);
        if (key == kNoKey) {
            keyboard_.ShowMessageBox(kInvalidKeyName, kSendKeysCaption);
            return;
        }
        SendKey(key, 1);
    }

    bool Braced()
    {
        const BracedItem item = ReadBracedItem(text_, pos_);
        pos_ = item.next;
        switch (item.kind) {
        case BracedItem::Kind::openBrace:
            SendKey(kOpenBraceKey, 1);
            return true;
        case BracedItem::Kind::closeBrace:
            SendKey(kCloseBraceKey, 1);
            return true;
        case BracedItem::Kind::unclosed:
            keyboard_.ShowMessageBox(kNoClose, kSendKeysCaption);
            return false;
        case BracedItem::Kind::named:
            break;
        }
        std::uint16_t count = 1;
        if (item.count) {
            count = static_cast<std::uint16_t>(static_cast<std::uint32_t>(StrToInt(*item.count)));
        }
        const ShiftedKey key = item.name.size() == 1
                                   ? keyboard_.VkKeyScan(static_cast<unsigned char>(item.name[0]))
                                   : LookupKeyName(keyboard_, item.name);
        if (key != kNoKey) {
            SendKey(key, count);
        }
        return true;
    }

    void SendKey(ShiftedKey key, std::uint16_t count)
    {
        SendShiftedKey(keyboard_, key, count, true, pump_);
        ReleasePendingModifiers();
    }

    void ReleasePendingModifiers()
    {
        if (group_) {
            return;
        }
        if (shift_) {
            ReleaseModifierKey(keyboard_, vk::kShift, pump_);
        }
        if (ctrl_) {
            ReleaseModifierKey(keyboard_, vk::kControl, pump_);
        }
        if (alt_) {
            ReleaseModifierKey(keyboard_, vk::kMenu, pump_);
        }
        shift_ = ctrl_ = alt_ = false;
    }

    KeyboardPlatform& keyboard_;
    std::string_view text_;
    bool pump_;
    bool literal_;
    std::size_t pos_ = 0;
    bool shift_ = false;
    bool ctrl_ = false;
    bool alt_ = false;
    bool group_ = false;
};
} // namespace

ShiftedKey LookupKeyName(KeyboardPlatform& keyboard, std::string_view name)
{
    if (const auto vkCode = FindKeyName(name)) {
        return *vkCode;
    }
    keyboard.ShowMessageBox(kInvalidKeyName2, kSendKeysCaption);
    return kNoKey;
}

std::string CharactersNeeded(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::string needed;
    const auto add = [&](char c) {
        if (needed.find(c) == std::string::npos) {
            needed.push_back(c);
        }
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const char c = text[pos];
        if (c != '{') {
            if (!IsCommandCharacter(c)) {
                add(c);
            }
            ++pos;
            continue;
        }
        const BracedItem item = ReadBracedItem(text, pos);
        if (item.kind == BracedItem::Kind::named && item.name.size() == 1) {
            add(item.name[0]);
        }
        pos = item.next;
    }
    return needed;
}

void SendLiteralKeys(KeyboardPlatform& keyboard, std::string_view text, std::string_view then,
                     bool pumpKeyboardMessages)
{
    text = text.substr(0, text.find('\0'));
    const KeySequenceScope scope;
    std::string needed = CharactersNeeded(then);
    for (const char c : text) {
        if (needed.find(c) == std::string::npos) {
            needed.push_back(c);
        }
    }
    keyboard.PrepareCharacters(needed);
    SequenceReader(keyboard, text, pumpKeyboardMessages, true).Run();
    SendKeys(keyboard, then, pumpKeyboardMessages);
}

bool SendKeys(KeyboardPlatform& keyboard, std::string_view text, bool pumpKeyboardMessages)
{
    text = text.substr(0, text.find('\0'));
    if (text.empty()) {
        return false;
    }
    const KeySequenceScope scope; // the events reach the system together, also when reading stops early
    keyboard.PrepareCharacters(CharactersNeeded(text));
    return SequenceReader(keyboard, text, pumpKeyboardMessages).Run();
}

} // namespace lantorvix
