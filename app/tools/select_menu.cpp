// The handler of "Värdereducering..." in the menu "Kupong": hands the window's
// coupon, document, row list and platform to the command.
#include "app/main_window.h"
#include "app/tools/select_dialog.h"
#include "app/tools/tools.h"

void TForm1::Vrdereducering1Click() {
  spelkub::tools::SelectCommand(ToolHostOf());
}
