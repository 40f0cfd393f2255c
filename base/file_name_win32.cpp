#include "base/file_name.h"

#include <windows.h>

#include <system_error>

#include "base/code_page.h"
#include "base/wide_name_win32.h"

namespace {

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::wstring WideName(std::string_view name) {
  if (name.empty()) return {};
  const int size = static_cast<int>(name.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
  if (length <= 0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "name not representable " + std::string(name));
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length);
  return wide;
}

bool ConvertsToWide(std::string_view name) noexcept {
  return name.empty() ||
         MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), nullptr, 0) > 0;
}

std::string NameFromWide(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t index = 0; index < wide.size(); ++index) {
    const wchar_t unit = wide[index];
    if (IsHighSurrogate(unit) && index + 1 < wide.size() && IsLowSurrogate(wide[index + 1])) {
      const char32_t high = unit - 0xD800, low = wide[index + 1] - 0xDC00;
      AppendUtf8(out, 0x10000 + ((high << 10) | low));
      ++index;
    } else {
      AppendUtf8(out, static_cast<char32_t>(unit));
    }
  }
  return out;
}

std::filesystem::path PathFromName(const std::string& name) { return std::filesystem::path(WideName(name)); }

std::string NameFromPath(const std::filesystem::path& path) { return NameFromWide(path.native()); }

bool SpelledAlike(const std::filesystem::path& first, const std::filesystem::path& second) {
  const std::wstring& a = first.native();
  const std::wstring& b = second.native();
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}
