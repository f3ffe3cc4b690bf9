#include "tools/command.hpp"

namespace zorvik::tool {

int bankCommand(Args) { return fail("bank: not yet available"); }

}  // namespace zorvik::tool
