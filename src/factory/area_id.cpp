// Reading an area from its text form.
#include "factory/area_id.h"

namespace mvx {

AreaId ParseAreaId(const Str& text) {
  AreaId area;
  if (text.empty()) return area;
  switch (text[0]) {
    case 'J':
    case 'j':
      area.type = AreaType::kJam;
      break;
    case 'F':
    case 'f':
    case 'M':
    case 'm':
    case '*':
      area.type = AreaType::kMsgDir;
      break;
    case 'S':
    case 's':
      area.type = AreaType::kSquish;
      break;
    default:
      // The type letter is required: a bare path names no format.
      area.path = text;
      return area;
  }
  // Everything after the letter, unchanged: a leading blank stays part of
  // the path.
  area.path = text.sub(1);
  return area;
}

}  // namespace mvx
