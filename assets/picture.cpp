#include "assets/picture.h"

#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h expects FILE and size_t to be declared

#include <QPixmap>

#include <jpeglib.h>

#include "assets/embedded_assets.h"

namespace spelkub {
namespace {

// Refuse pictures above Qt's own default allocation limit for image readers:
// a forged header must not make us allocate gigabytes.
constexpr qint64 kMaxImageBytes = qint64{256} * 1024 * 1024;

// libjpeg reports a fatal error through error_exit, which must not return. Ours
// jumps back into the step function that made the failing call. Each step holds
// only plain C data between its setjmp and its libjpeg calls, and every C++
// object lives in DecodeJpeg, which the jump never leaves, so no destructor is
// skipped.
struct JpegErrors {
  jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it is ours too
  std::jmp_buf step;
};

struct JpegReader {
  jpeg_decompress_struct info;
  JpegErrors errors;
};

[[noreturn]] void LeaveStep(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->step, 1);
}

// libjpeg still counts warnings in num_warnings; they are just not printed.
void DropMessage(j_common_ptr) {}

bool DamageSeen(const JpegReader& reader) {
  return reader.errors.manager.num_warnings > 0;
}

bool StartDecompress(JpegReader& reader, unsigned char* data, unsigned long size) {
  if (setjmp(reader.errors.step)) return false;
  jpeg_create_decompress(&reader.info);
  jpeg_mem_src(&reader.info, data, size);
  if (jpeg_read_header(&reader.info, TRUE) != JPEG_HEADER_OK) return false;
  switch (reader.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      reader.info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      reader.info.out_color_space = JCS_CMYK;
      break;
    default:
      reader.info.out_color_space = JCS_RGB;
      break;
  }
  jpeg_start_decompress(&reader.info);
  return !DamageSeen(reader);
}

void ToRgb32(const JSAMPLE* in, int components, bool inverted_cmyk, JDIMENSION width, QRgb* out) {
  for (JDIMENSION x = 0; x < width; ++x, in += components) {
    switch (components) {
      case 1:
        out[x] = qRgb(in[0], in[0], in[0]);
        break;
      case 3:
        out[x] = qRgb(in[0], in[1], in[2]);
        break;
      default: {
        // Adobe's CMYK JPEGs store ink inverted (255 = no ink).
        const int c = inverted_cmyk ? in[0] : 255 - in[0];
        const int m = inverted_cmyk ? in[1] : 255 - in[1];
        const int y = inverted_cmyk ? in[2] : 255 - in[2];
        const int k = inverted_cmyk ? in[3] : 255 - in[3];
        out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
        break;
      }
    }
  }
}

bool ReadScanlines(JpegReader& reader, uchar* bits, qsizetype bytes_per_line) {
  if (setjmp(reader.errors.step)) return false;
  jpeg_decompress_struct& info = reader.info;
  const int components = info.output_components;
  if (components != 1 && components != 3 && components != 4) return false;
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * components, 1);
  while (info.output_scanline < info.output_height) {
    auto* out = reinterpret_cast<QRgb*>(bits + info.output_scanline * bytes_per_line);
    // A truncated stream shows up as a warning; stop at once instead of
    // decoding grey filler for the rest of the picture.
    if (jpeg_read_scanlines(&info, row, 1) != 1 || DamageSeen(reader)) return false;
    ToRgb32(row[0], components, info.saw_Adobe_marker, info.output_width, out);
  }
  jpeg_finish_decompress(&info);
  return !DamageSeen(reader);
}

}  // namespace

QImage DecodeJpeg(QByteArrayView data) {
  if (data.isEmpty() || static_cast<unsigned long long>(data.size()) > ULONG_MAX) return {};

  JpegReader reader{};
  reader.info.err = jpeg_std_error(&reader.errors.manager);
  reader.errors.manager.error_exit = LeaveStep;
  reader.errors.manager.output_message = DropMessage;
  struct Destroy {
    JpegReader& reader;
    ~Destroy() { jpeg_destroy_decompress(&reader.info); }
  } destroy{reader};

  // jpeg_mem_src takes a non-const buffer in older libjpeg versions; it only reads it.
  auto* bytes = const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(data.data()));
  if (!StartDecompress(reader, bytes, static_cast<unsigned long>(data.size()))) return {};

  const qint64 width = reader.info.output_width;
  const qint64 height = reader.info.output_height;
  if (width * height * 4 > kMaxImageBytes) return {};
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (image.isNull()) return {};
  if (!ReadScanlines(reader, image.bits(), image.bytesPerLine())) return {};
  return image;
}

QImage BackgroundPicture() {
  const std::span<const unsigned char> jpeg = assets::FindFile("background.jpg");
  return DecodeJpeg(QByteArrayView(jpeg.data(), static_cast<qsizetype>(jpeg.size())));
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const assets::EmbeddedFile& file : assets::EmbeddedFiles()) {
    if (!file.name.starts_with("icons/")) continue;
    QPixmap pixmap;
    if (pixmap.loadFromData(file.bytes.data(), static_cast<uint>(file.bytes.size()), "PNG")) {
      icon.addPixmap(pixmap);
    }
  }
  return icon;
}

}  // namespace spelkub
