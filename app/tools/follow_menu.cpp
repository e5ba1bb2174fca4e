// The handler of "Följ kupongen..." in the menu "Kupong".
#include "app/main_window.h"
#include "app/tools/tools.h"

void TForm1::Fljkupongen1Click() {
  spelkub::tools::FollowCommand(ToolHostOf());
}
