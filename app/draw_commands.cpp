// The menu "Kupong"'s items of the draw service: "Hämta omgång..." and
// "Uppdatera streck" put a fetched draw's numbers into the coupon document.
#include "app/main_window.h"
#include "app/tools/fetch_draw_dialog.h"
#include "app/tools/tools.h"

void TForm1::Hmtaomgng1Click() {
  // Streck, chances and the turnover are what some conditions measure.
  if (spelkub::tools::FetchDrawCommand(ToolHostOf())) session_.DocumentEdited();
}

void TForm1::Uppdaterastreck1Click() {
  if (spelkub::tools::UpdateStreckCommand(ToolHostOf())) session_.DocumentEdited();
}
