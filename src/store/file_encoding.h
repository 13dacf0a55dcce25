#pragma once

#include <string>
#include <string_view>

namespace lantorvix::store {

// A settings file saved as UTF-16 LE with a byte-order mark (Notepad's "Unicode"), which the
// system's profile functions read, is edited as UTF-8 text and written back in UTF-16 LE with
// its mark. The conversion keeps every code unit, an unpaired surrogate or a final odd byte
// too, so lines nobody edits come back byte for byte. A file in an encoding that is not written
// back (UTF-16 big-endian or UTF-32 with a mark, UTF-16 without one) is read as its bytes and
// marked foreign: adding 8-bit lines to it would leave a file in two encodings. Any other file
// is taken as it is.
struct FileText {
    std::string text;     // UTF-8 for a UTF-16 file, else the file's bytes
    bool utf16 = false;   // the file began with FF FE
    std::string oddTail;  // a last byte that completes no code unit
    bool foreign = false; // an encoding not written back
};

FileText DecodeFileText(std::string bytes);
std::string EncodeFileText(const FileText& file);

} // namespace lantorvix::store
