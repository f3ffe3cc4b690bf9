#include "tools/messages.hpp"

#include <cstring>

#include "display/safe_text.hpp"

namespace zorvik::tool {

std::string shownName(std::string_view path) { return showText(path, TextStyle::Escaped); }

Error cannotWrite(std::string_view name, std::string_view reason) {
  return Error("cannot write " + shownName(name) + ": " + std::string(reason));
}

Error cannotWrite(std::string_view name, int error) {
  return cannotWrite(name, std::strerror(error));
}

Error cannotRead(std::string_view name, std::string_view reason) {
  return Error("cannot read " + shownName(name) + ": " + std::string(reason));
}

Error cannotRead(std::string_view name, int error) {
  return cannotRead(name, std::strerror(error));
}

}  // namespace zorvik::tool
