#include "app/fatal_error.hpp"

#include <cstdlib>

#include "app/console.hpp"

namespace zorvik {

void fatalError(const std::string& message) {
  console::writeLine("Error: " + message);
  console::writeLine("press any key to quit");
  console::waitKey();
  console::restore();
  std::_Exit(1);
}

}  // namespace zorvik
