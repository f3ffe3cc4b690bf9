#include "tools/command.hpp"

namespace zorvik::tool {

int songCommand(Args) { return fail("song: not yet available"); }

}  // namespace zorvik::tool
