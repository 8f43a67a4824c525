// The command line's own messages in the user's language, from the gettext catalogue
// "tessarin" (po/ in the source tree). The add-in's own texts are not translated here.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

namespace tessarin::cli {

// Takes the locale from the environment (LC_ALL, LC_MESSAGES, LANG, LANGUAGE) and binds the
// catalogue found beside the program: <prefix>/share/locale when installed, the build tree's
// share/locale when run from there. When the named locale is not installed on this machine, the
// messages still follow it (UTF-8 text, the catalogue chosen through LANGUAGE). Call once, from
// main, before any message is made; without it every message is the English original.
void InitMessages();

// The folder the catalogues were bound to by InitMessages, or "" when none was found.
const std::string& MessageCatalogueFolder();

// The translation of `msgid` (the English text), or msgid itself.
std::string Tr(const char* msgid);
// Tr(msgid) with "%1", "%2" ... replaced by `args` in order; bytes of an argument that are not
// UTF-8 (a file name) are shown escaped as "\xNN" (host::EscapeInvalidUtf8), as in TrN.
std::string Tr(const char* msgid, std::initializer_list<std::string> args);

// The singular or plural translation for the count `n`, with "%1", "%2" ... replaced by `args`.
std::string TrN(const char* singular, const char* plural, long n,
                std::initializer_list<std::string> args);

// Marks a text for the catalogue where it is only translated later, through Tr or TrFilled.
constexpr const char* TrMark(const char* msgid) { return msgid; }

// For texts a library makes from a fixed English pattern: when `text` is `pattern` with its "%1",
// "%2" ... filled in (each by at least one character), the translation of `pattern` filled with the
// same values; otherwise nothing. In an English locale the result is `text` itself.
std::optional<std::string> TrFilled(const char* pattern, const std::string& text);

// How a host error reads to the user: its description, then its number, "(error 1004)".
std::string HostErrorText(const std::string& description, int number);

}  // namespace tessarin::cli
