#include "app/fatal_error.hpp"

#include <cstdlib>
#include <iostream>

namespace zorvik {

void fatalError(platform::Terminal& terminal, const std::string& message) {
  std::cout << "Error: " << message << std::endl;
  std::cout << "press any key to quit" << std::endl;
  terminal.waitKey();
  terminal.release();
  std::_Exit(1);
}

}  // namespace zorvik
