// The command line's messages: locale set-up, the catalogue's folder, lookups.
#include "app/cli/messages.h"

#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/host/text_encoding.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

namespace {

constexpr char kDomain[] = "tessarin";

std::string& CatalogueFolder() {
  static std::string folder;
  return folder;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The locale the environment asks messages in, by the usual precedence.
std::string RequestedMessageLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (std::string value = Env(name); !value.empty()) return value;
  }
  return "";
}

// share/locale of the installed tree (bin/..), else of the build tree (app/cli/../..).
std::string FindCatalogueFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  const std::string catalogue = std::string("ja/LC_MESSAGES/") + kDomain + ".mo";
  for (const fs::path& folder :
       {exe.parent_path() / "../share/locale", exe.parent_path() / "../../share/locale"}) {
    if (fs::is_regular_file(folder / catalogue, ec))
      return fs::weakly_canonical(folder, ec).string();
  }
  return "";
}

}  // namespace

void InitMessages() {
  if (std::setlocale(LC_ALL, "") == nullptr) {
    // The named locale is not generated on this machine. UTF-8 text still works in C.UTF-8, and
    // LANGUAGE (which gettext reads in any locale but plain C) picks the catalogue.
    std::setlocale(LC_ALL, "C.UTF-8");
    const std::string wanted = RequestedMessageLocale();
    if (Env("LANGUAGE").empty() && !wanted.empty() && wanted != "C" && wanted != "POSIX") {
      setenv("LANGUAGE", wanted.substr(0, wanted.find_first_of(".@")).c_str(), 1);
    }
  }
  CatalogueFolder() = FindCatalogueFolder();
  if (!CatalogueFolder().empty()) bindtextdomain(kDomain, CatalogueFolder().c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

const std::string& MessageCatalogueFolder() { return CatalogueFolder(); }

std::string Tr(const char* msgid) { return dgettext(kDomain, msgid); }

namespace {

std::string Substitute(const std::string& text, const std::string* args, size_t count) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t n = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : count;
    if (text[i] == '%' && n < count) {
      // A file name that is not UTF-8 shows escaped, so every message stays readable text.
      out += host::EscapeInvalidUtf8(args[n]);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Substitute(const std::string& text, std::initializer_list<std::string> args) {
  return Substitute(text, args.begin(), args.size());
}

}  // namespace

std::string Tr(const char* msgid, std::initializer_list<std::string> args) {
  return Substitute(Tr(msgid), args);
}

std::string TrN(const char* singular, const char* plural, long n,
                std::initializer_list<std::string> args) {
  return Substitute(dngettext(kDomain, singular, plural, static_cast<unsigned long>(n)), args);
}

std::optional<std::string> TrFilled(const char* pattern, const std::string& text) {
  // The pattern as literal pieces with the placeholder number after each piece but the last.
  std::vector<std::string> pieces(1);
  std::vector<size_t> slots;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (c[0] == '%' && c[1] >= '1' && c[1] <= '9') {
      slots.push_back(static_cast<size_t>(c[1] - '1'));
      pieces.emplace_back();
      ++c;
    } else {
      pieces.back() += *c;
    }
  }
  if (text.compare(0, pieces.front().size(), pieces.front()) != 0) return std::nullopt;
  std::vector<std::string> values(
      slots.empty() ? 0 : *std::max_element(slots.begin(), slots.end()) + 1);
  size_t at = pieces.front().size();
  for (size_t k = 0; k < slots.size(); ++k) {
    const std::string& next = pieces[k + 1];
    size_t end;
    if (k + 1 == slots.size()) {
      // The last value runs to the closing piece at the very end of the text.
      if (text.size() < at + next.size() ||
          text.compare(text.size() - next.size(), next.size(), next) != 0) {
        return std::nullopt;
      }
      end = text.size() - next.size();
    } else {
      end = next.empty() ? std::string::npos : text.find(next, at + 1);
    }
    if (end == std::string::npos || end <= at) return std::nullopt;
    values[slots[k]] = text.substr(at, end - at);
    at = end + next.size();
  }
  if (slots.empty() && text != pattern) return std::nullopt;
  return Substitute(Tr(pattern), values.data(), values.size());
}

std::string HostErrorText(const std::string& description, int number) {
  return Tr("%1 (error %2)", {description, std::to_string(number)});
}

}  // namespace tessarin::cli
