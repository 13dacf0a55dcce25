#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lantorvix {

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF. A text that
// fails is taken for 8-bit text in a code page.
bool IsValidUtf8(std::string_view text);

// How NextUtf8 reads: strict takes only what IsValidUtf8 accepts; lenient also takes overlong
// forms and encoded surrogates, which a text decoded from UTF-16 carries for its unpaired
// surrogates, so that they go back to UTF-16 unchanged.
enum class Utf8Rules { strict, lenient };

// The code point at text[i] (i < text.size()); i moves past what was read. Nothing when the
// bytes there are not UTF-8 under the rules: a byte that starts no sequence, or a sequence
// cut short or broken, moves i by one byte; a complete sequence outside the rules (past
// U+10FFFF; strict: also overlong or a surrogate) moves it past the whole sequence.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& i, Utf8Rules rules = Utf8Rules::strict);

// Appends one code point as UTF-8. Unpaired surrogates are written as their three bytes, so
// that a text read from UTF-16 comes back unchanged.
void AppendUtf8(std::string& out, char32_t cp);

} // namespace lantorvix
