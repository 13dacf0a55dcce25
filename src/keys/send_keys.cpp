#include "keys/send_keys.h"

#include "base/str_to_int.h"
#include "keys/key_injection.h"
#include "keys/key_names.h"
#include "keys/key_sequence_scope.h"
#include "keys/virtual_keys.h"

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
        if (literal_) {
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
        case '{':
            return BracedItem();
        default:
            PlainCharacter(static_cast<unsigned char>(c));
            break;
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

    bool BracedItem()
    {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '{') {
            SendKey(kOpenBraceKey, 1);
            pos_ += 3; // "{{}", whatever the third byte is
            return true;
        }
        std::string name;
        std::size_t i = pos_ + 1;
        for (; i < text_.size() && text_[i] != '}'; ++i) {
            if (name.size() < kNameBufferSize) {
                name.push_back(UpperAscii(text_[i]));
            }
        }
        if (i >= text_.size()) {
            keyboard_.ShowMessageBox(kNoClose, kSendKeysCaption);
            return false;
        }
        pos_ = i + 1;
        if (pos_ < text_.size() && text_[pos_] == '}') {
            SendKey(kCloseBraceKey, 1);
            ++pos_;
            return true;
        }
        std::uint16_t count = 1;
        if (const auto space = name.find(' '); space != std::string::npos) {
            count = static_cast<std::uint16_t>(static_cast<std::uint32_t>(StrToInt(name.substr(space + 1))));
            name.resize(space);
        }
        const ShiftedKey key = name.size() == 1 ? keyboard_.VkKeyScan(static_cast<unsigned char>(name[0]))
                                                : LookupKeyName(keyboard_, name);
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

namespace {
// The same characters as a key sequence, each command character braced, so that a keyboard
// preparing for the sequence's characters sees exactly these.
std::string AsSequence(std::string_view literal)
{
    std::string sequence;
    sequence.reserve(literal.size());
    for (const char c : literal) {
        if (std::string_view("+^%()~{}").find(c) != std::string_view::npos) {
            sequence.append("{").append(1, c).append("}");
        } else {
            sequence += c;
        }
    }
    return sequence;
}
} // namespace

void SendLiteralKeys(KeyboardPlatform& keyboard, std::string_view text, std::string_view then,
                     bool pumpKeyboardMessages)
{
    text = text.substr(0, text.find('\0'));
    const std::string sequence = AsSequence(text).append(then);
    const KeySequenceScope scope(sequence);
    SequenceReader(keyboard, text, pumpKeyboardMessages, true).Run();
    SendKeys(keyboard, then, pumpKeyboardMessages);
}

bool SendKeys(KeyboardPlatform& keyboard, std::string_view text, bool pumpKeyboardMessages)
{
    text = text.substr(0, text.find('\0'));
    if (text.empty()) {
        return false;
    }
    const KeySequenceScope scope(text); // the events reach the system together, also when reading stops early
    return SequenceReader(keyboard, text, pumpKeyboardMessages).Run();
}

} // namespace lantorvix
