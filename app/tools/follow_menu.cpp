// The handler of "Följ kupongen..." in the menu "Kupong".
#include "app/main_window.h"
#include "app/tools/tools.h"

void TForm1::Fljkupongen1Click() {
  if (spelkub::tools::FollowCommand(ToolHostOf())) session_.DocumentEdited();
}
