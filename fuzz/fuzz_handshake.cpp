// The hand-shake text: any bytes parse without reading or writing outside a buffer, and a parsed
// hand-shake always had three commas.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/link_app.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // the command line is a NUL-terminated text
  ClLinkApp app(res::Edition(res::EditionId::kHalvorack));
  const int found = app.ParseCommandLine(text.c_str());
  std::size_t commas = 0;
  for (char c : text) commas += c == ',';
  if (found == 1 && commas < 3) std::abort();
  if (found == 0 && commas >= 3) std::abort();
  if (found == 1 && !app.m_strFixedOutputPath.empty() && text.size() < app.m_strFixedOutputPath.size())
    std::abort();
  return 0;
}
