// Lines of an enciphered communication log as kllog reads them.
#include <cstdint>
#include <string_view>

#include "base/ciphered_log_line.h"
#include "base/text_cipher_key.h"
#include "base/text_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TTextCipher cipher(TextCipherKey);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    try {
      DecipherLogLine(line, cipher);
    } catch (const EMalformedLogLine&) {
      // kllog reports the line and goes on.
    }
  }
  return 0;
}
