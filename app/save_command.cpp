// "Spara Raderna" and the menu links.
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/links.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "coupon/messages.h"
#include "io/save_file.h"

using spelkub::FromUtf8;

namespace {

// True when no byte has its high bit set. Coupon texts always pass, and then
// the row list's UTF-8 is already the file's encoding. Blocks keep the inner
// loop branch-free so it runs at memory speed on the largest systems.
bool IsAscii(std::string_view text) {
  constexpr size_t kBlock = 4096;
  for (size_t begin = 0; begin < text.size(); begin += kBlock) {
    const size_t end = std::min(text.size(), begin + kBlock);
    unsigned char bits = 0;
    for (size_t at = begin; at < end; ++at) bits |= static_cast<unsigned char>(text[at]);
    if ((bits & 0x80) != 0) return false;
  }
  return true;
}

// The bytes of the file: the row list's text as it is when it is ASCII (no
// copy; valid while the list is unchanged), else in the system's 8-bit
// encoding, as the user's own letters are expected there.
QByteArray FileBytes(std::string_view text) {
  if (IsAscii(text)) {
    return QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
  }
  return FromUtf8(text).toLocal8Bit();
}

// The row list's own save keeps the error texts its users know: the system's
// description when the file cannot be created, and the stream's message when
// writing fails after that. The tools' saves give the file layer's Swedish.
std::string SaveFailureText(const spelkub::SaveError& error) {
  switch (error.stage()) {
    case spelkub::SaveError::Stage::kCreate:
      return "Cannot create file \"" + error.path() + "\". " + std::strerror(error.error());
    case spelkub::SaveError::Stage::kWrite:
      return "Stream write error";
    case spelkub::SaveError::Stage::kOther:
      break;
  }
  return error.what();
}

}  // namespace

void TForm1::Button1Click() {
  const std::optional<QString> path = platform_.ChooseSaveFile(SaveDialog1.FileName);
  if (!path) return;
  // The dialog keeps a confirmed name even when writing to it then fails.
  SaveDialog1.FileName = *path;
  try {
    platform_.WriteFile(*path, FileBytes(Memo1->Text()));
  } catch (const spelkub::SaveError& error) {
    throw std::runtime_error(SaveFailureText(error));
  }
  platform_.ShowMessage(FromUtf8(spelkub::kSavedMessage.text),
                        FromUtf8(spelkub::kSavedMessage.caption));
}

void TForm1::Skickaettmail1Click() {
  platform_.OpenAddress(FromUtf8(spelkub::kSupportMailAddress));
}

void TForm1::GtillSpelkubsidan1Click() {
  platform_.OpenAddress(FromUtf8(spelkub::kMakerSiteAddress));
}

void TForm1::GtillSpelkubFORUM1Click() {
  platform_.OpenAddress(FromUtf8(spelkub::kMakerForumAddress));
}

void TForm1::GtillSvenskaSpel1Click() {
  platform_.OpenAddress(FromUtf8(spelkub::kSvenskaSpelAddress));
}

void TForm1::GtillUnibet1Click() {
  platform_.OpenAddress(FromUtf8(spelkub::kUnibetPartnerAddress));
}
