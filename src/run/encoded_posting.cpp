// Encoded posting: control-line marking and the begin line of a part.
#include "run/encoded_posting.h"

#include "support/text.h"

namespace mvx {

namespace {

void MarkAsKludge(Str& text) {
  if (!text.empty() && text[0] != '\x01') text = "\x01" + text;
}

}  // namespace

void MarkEncodedAsKludges(RunContext& ctx) {
  MarkAsKludge(ctx.EncodedMessage);
  MarkAsKludge(ctx.BeginEncodedString);
  MarkAsKludge(ctx.EndEncodedString);
}

void FillPlaceholder(Str& text, const Str& value) {
  const std::size_t at = text.find('%');
  if (at == std::string::npos) {
    text = value + text;
  } else {
    text = text.sub(0, at) + value + text.sub(at + 1);
  }
}

Str FileNameOnly(const Str& path) { return FileNamePart(path); }

Str BeginLineOfPart(const Str& templ, std::int32_t partNumber, std::int32_t partCount,
                    const Str& path) {
  Str line = templ;
  FillPlaceholder(line, IntToStr(partNumber));
  FillPlaceholder(line, IntToStr(partCount));
  FillPlaceholder(line, FileNameOnly(path));
  return line;
}

}  // namespace mvx
