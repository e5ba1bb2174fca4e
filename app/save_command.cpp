// "Spara Raderna" and the menu links.
#include "app/main_window.h"

void TForm1::Button1Click() {
  // The save command: to be written.
}

void TForm1::Skickaettmail1Click() {}

void TForm1::GtillSpelkubsidan1Click() {}

void TForm1::GtillSpelkubFORUM1Click() {}

void TForm1::GtillSvenskaSpel1Click() {}

void TForm1::GtillUnibet1Click() {}
