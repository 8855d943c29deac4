#include "msgdir/msg_file_names.h"

#include "msgdir/ascii_case.h"
#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

std::int32_t MsgNumberFromName(std::string_view fileName) {
  const std::string_view stem = fileName.substr(0, fileName.find('.'));
  std::int32_t errorPos = 0;
  const std::int32_t n = ParseInteger(stem, errorPos);
  if (errorPos != 0 || n <= 0 || n > kMaxMsgNumber) return 0;
  return n;
}

Str MsgFileName(std::int32_t n) {
  return IntToStr(n) + "." + Str(platform::NewFileExtension("MSG"));
}

bool IsUsualMsgName(std::string_view fileName, std::int32_t n) {
  return SameIgnoringAsciiCase(fileName, (IntToStr(n) + ".MSG").view());
}

namespace {
constexpr std::string_view kTempPrefix = "~mvx";
constexpr std::string_view kTempSuffix = ".$$$";
}  // namespace

Str TempMsgFileName(std::int32_t k) { return Str(kTempPrefix) + IntToStr(k) + Str(kTempSuffix); }

bool IsTempMsgFileName(std::string_view fileName) {
  if (fileName.size() <= kTempPrefix.size() + kTempSuffix.size()) return false;
  const std::string_view digits =
      fileName.substr(kTempPrefix.size(), fileName.size() - kTempPrefix.size() - kTempSuffix.size());
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return SameIgnoringAsciiCase(fileName.substr(0, kTempPrefix.size()), kTempPrefix) &&
         fileName.substr(fileName.size() - kTempSuffix.size()) == kTempSuffix;
}

bool JoinAreaPath(const Str& areaPath, const Str& name, Str& path) {
  if (areaPath.size() + name.size() > Str::kMax) return false;
  path = areaPath + name;
  return true;
}

}  // namespace mvx
