// "Generera Rader": validation, the full system into the row list, and the
// reduction that the chosen mode asks for.
#include "app/main_window.h"

void TForm1::Button2Click() {}
