#include "tools/command.hpp"

namespace zorvik::tool {

int infoCommand(Args) { return fail("info: not yet available"); }

}  // namespace zorvik::tool
