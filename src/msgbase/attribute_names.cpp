// FLAGS name lists to attribute words.
#include "msgbase/attribute_names.h"

#include "support/words.h"

namespace mvx {

const char* const kAttributeNames[16] = {"Pvt", "Cra", "Rcv", "Snt", "Att", "Trs", "Orp", "K/s",
                                         "Loc", "Hld", "FRq", "RRq", "RRc", "ARq", "URq", "Sca"};

namespace {

std::int32_t BitOfName(const Str& word) {
  Str up = UpperCaseCyr(word);
  for (int i = 0; i < 16; ++i) {
    if (up == UpperCaseCyr(kAttributeNames[i])) return std::int32_t{1} << i;
  }
  return 0;
}

}  // namespace

std::int32_t ApplyFlagNames(const Str& list) {
  std::int32_t flags = 0;
  Str rest = list;
  // The same walk as NumberInList: while a blank is left the first word is
  // taken off; what remains without a blank is the last word (for a one-word
  // line that is the keyword itself, which names no attribute).
  while (rest.find(' ') != std::string::npos) {
    flags |= BitOfName(FirstWord(rest));
    rest = RestWords(rest);
  }
  flags |= BitOfName(FirstWord(rest));
  return flags;
}

}  // namespace mvx
