#pragma once

#include "keys/keyboard_platform.h"
#include "keys/shifted_key.h"

#include <string>
#include <string_view>

namespace lantorvix {

inline constexpr std::string_view kSendKeysCaption = "SendKeys";
inline constexpr std::string_view kInvalidKeyName = "Invalid KeyName";   // a character with no key
inline constexpr std::string_view kInvalidKeyName2 = "Invalid Key Name"; // an unknown braced name
inline constexpr std::string_view kNoClose = "No Close";                 // a "{" never closed

// Types a text in the key-sequence language into the focused window through the keyboard.
// The text is read up to its end or its first NUL byte, whichever comes first; bytes
// 128-255 are characters of the ANSI code page. Returns false for an empty text and when a
// brace was left open; true otherwise. Errors are shown in "SendKeys" boxes and reading goes
// on, except that a bad repeat count throws EConvertError at once. Keeps no state between
// calls; runs entirely on the calling thread.
bool SendKeys(KeyboardPlatform& keyboard, std::string_view text, bool pumpKeyboardMessages);

// The characters (bytes of the ANSI code page) that typing `text` asks VkKeyScan for, each
// once, in the order first met: plain characters and the single character of a braced item
// ("{+}", "{a 3}" upper-cased), not the letters of key names nor anything after a brace that
// is never closed. SendKeys hands them to the keyboard before the first key event.
std::string CharactersNeeded(std::string_view text);

// Types every byte of text as its character, commands included ("{F4}" is four characters),
// up to its end or its first NUL byte, then the key sequence `then` as SendKeys does; the
// events of both reach the system together. A character with no key shows "Invalid KeyName"
// and typing goes on.
void SendLiteralKeys(KeyboardPlatform& keyboard, std::string_view text, std::string_view then,
                     bool pumpKeyboardMessages);

// The key of a braced name of two or more characters (or an empty one); shows "Invalid Key
// Name" and returns kNoKey when the table has no such name.
ShiftedKey LookupKeyName(KeyboardPlatform& keyboard, std::string_view name);

} // namespace lantorvix
