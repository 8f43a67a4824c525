// Text encodings: UTF-8 checks and code points, code page 932 (Shift_JIS) and UTF-16LE.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::host {

// Every string in the host model is UTF-8. These helpers convert at the edges (files, the
// clipboard, code page 932 lookups) and count characters the way the host does: one character
// per Unicode code point, so Characters(Start, Length) and Len work in code points, not bytes.

// True when `text` is well-formed UTF-8: no stray continuation bytes, no truncated sequences,
// no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// `text` with each byte that is not part of well-formed UTF-8 written as "\xNN" (two upper-case
// hex digits) and every backslash doubled where such bytes occur, so a file name of any bytes
// (a Shift_JIS name from a Windows zip) shows in a message or a transcript as valid UTF-8 that
// still tells the bytes apart. Valid UTF-8 comes back unchanged.
std::string EscapeInvalidUtf8(std::string_view text);

// The code point that starts at byte `pos` of `text`; advances `pos` past it. Precondition:
// pos < text.size(). A byte that does not start a well-formed sequence yields U+FFFD and
// advances by one byte, so malformed input is counted, never skipped or thrown on.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// The code points of `text`, malformed bytes as U+FFFD (see NextCodePoint).
std::vector<char32_t> CodePoints(std::string_view text);

// The number of characters (code points) of `text`, malformed bytes counting one each.
std::size_t Utf8Length(std::string_view text);

// The byte offset of character `index` (0-based) of `text`; text.size() when the text has
// `index` characters or fewer.
std::size_t Utf8Offset(std::string_view text, std::size_t index);

// `length` characters of `text` from character `start` (1-based), as the host's Mid and
// Characters(Start, Length) count them. Clamped to the text; start 0 is taken as 1.
std::string Utf8Mid(std::string_view text, std::size_t start, std::size_t length);

// Appends the UTF-8 form of `code_point` to `out`; surrogates and values above U+10FFFF are
// appended as U+FFFD.
void AppendUtf8(std::string& out, char32_t code_point);

// UTF-8 of a run of code points (the inverse of CodePoints for well-formed text).
std::string ToUtf8(const std::vector<char32_t>& code_points);

// Decodes code page 932 bytes (Windows Japanese, glibc's "CP932") to UTF-8.
// Throws HostError 13 (type mismatch) naming the byte offset when the bytes are not CP932 text
// (an invalid or truncated double-byte sequence). Use TryCp932ToUtf8 to test instead.
std::string Cp932ToUtf8(std::string_view bytes);

// As Cp932ToUtf8, but nullopt instead of throwing.
std::optional<std::string> TryCp932ToUtf8(std::string_view bytes);

// Encodes UTF-8 text in code page 932. nullopt when a character has no CP932 form (an emoji,
// 𠮷, most characters outside Japanese). Throws HostError 13 when `text` is not valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view text);

// Decodes UTF-16LE bytes (no byte order mark is looked for) to UTF-8. Throws HostError 13 on
// an odd byte count or an unpaired surrogate.
std::string Utf16LeToUtf8(std::string_view bytes);

// As Utf16LeToUtf8, but nullopt instead of throwing.
std::optional<std::string> TryUtf16LeToUtf8(std::string_view bytes);

// Encodes UTF-8 text as UTF-16LE bytes, without a byte order mark. Throws HostError 13 when
// `text` is not valid UTF-8.
std::string Utf8ToUtf16Le(std::string_view text);

}  // namespace tessarin::host
