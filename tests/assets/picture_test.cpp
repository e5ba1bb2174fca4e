#include "assets/picture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QRandomGenerator>
#include <QRect>
#include <QString>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "assets/embedded_assets.h"

namespace spelkub {
namespace {

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) ADD_FAILURE() << "cannot open " << path.toStdString();
  return file.readAll();
}

QByteArray TestJpeg(const char* name) {
  return ReadFile(QStringLiteral(SPELKUB_TEST_DATA "/") + QLatin1String(name));
}

QByteArray EmbeddedPicture() {
  const auto bytes = assets::FindFile("background.jpg");
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Every pixel lies within `tolerance` of the colour in each channel.
::testing::AssertionResult AllPixelsNear(const QImage& image, QColor colour, int tolerance) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (std::abs(qRed(p) - colour.red()) > tolerance ||
          std::abs(qGreen(p) - colour.green()) > tolerance ||
          std::abs(qBlue(p) - colour.blue()) > tolerance || qAlpha(p) != 255) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") is " << qRed(p) << "," << qGreen(p) << ","
               << qBlue(p) << "," << qAlpha(p);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// WCAG relative luminance of an sRGB colour.
double Luminance(QRgb p) {
  auto linear = [](int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(qRed(p)) + 0.7152 * linear(qGreen(p)) + 0.0722 * linear(qBlue(p));
}

double MeanLuminance(const QImage& image, QRect area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) sum += Luminance(image.pixel(x, y));
  }
  return sum / (area.width() * area.height());
}

double Contrast(double a, double b) {
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

TEST(BackgroundPicture, DecodesToTheFullSizeOpaque) {
  const QImage picture = BackgroundPicture();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(689, 546));
  EXPECT_EQ(picture.format(), QImage::Format_RGB32);
}

TEST(BackgroundPicture, IsABlueSkyWithClouds) {
  const QImage picture = BackgroundPicture();
  ASSERT_FALSE(picture.isNull());
  double red = 0, green = 0, blue = 0;
  std::set<QRgb> colours;
  int light = 0;  // cloud-white pixels
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      red += qRed(p);
      green += qGreen(p);
      blue += qBlue(p);
      colours.insert(p);
      if (qRed(p) > 150 && qGreen(p) > 170) ++light;
    }
  }
  const double n = double(picture.width()) * picture.height();
  EXPECT_GT(blue / n, 1.3 * green / n);
  EXPECT_GT(green / n, red / n);
  EXPECT_GT(colours.size(), 1000u) << "a flat colour, not a sky";
  EXPECT_GT(light, n * 0.01) << "no clouds";
  EXPECT_LT(light, n * 0.3) << "more cloud than sky";
}

// The picture is stretched over the 531 x 448 area above the bars; the labels
// stand on it. Black captions and the aqua counts both need at least the 3:1
// contrast of bold text against the sky around them.
TEST(BackgroundPicture, KeepsTheLabelsReadable) {
  const QImage area =
      BackgroundPicture().scaled(531, 448, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  ASSERT_EQ(area.size(), QSize(531, 448));
  const double aqua = Luminance(qRgb(0, 255, 255));
  const double black = 0;
  struct Spot {
    const char* label;
    QRect box;
    double text;
  };
  const Spot spots[] = {
      {"Label16", QRect(230, 410, 7, 13), aqua},
      {"Label18", QRect(328, 410, 6, 13), aqua},
      {"Label15", QRect(285, 391, 112, 13), black},
      {"Label17", QRect(115, 410, 109, 13), black},
      {"Label19", QRect(8, 8, 135, 13), black},
      {"Label1", QRect(152, 35, 42, 13), black},
      {"Label7", QRect(152, 194, 42, 13), black},
      {"Label14", QRect(152, 386, 48, 13), black},
      {"RadioGroup1", QRect(24, 32, 105, 75), black},
      {"RadioGroup3", QRect(24, 177, 105, 65), black},
  };
  for (const Spot& spot : spots) {
    EXPECT_GE(Contrast(MeanLuminance(area, spot.box), spot.text), 3.0) << spot.label;
  }
}

// The stored stream itself: baseline JFIF at 96 dpi, three 8-bit components.
TEST(BackgroundPicture, IsABaselineJfifAt96Dpi) {
  const QByteArray jpeg = EmbeddedPicture();
  ASSERT_GT(jpeg.size(), 4);
  auto byte = [&](qsizetype i) { return static_cast<std::uint8_t>(jpeg.at(i)); };
  auto word = [&](qsizetype i) { return byte(i) << 8 | byte(i + 1); };
  ASSERT_EQ(word(0), 0xFFD8);
  bool jfif = false, frame = false;
  for (qsizetype i = 2; i + 4 <= jpeg.size() && byte(i) == 0xFF;) {
    const int marker = byte(i + 1);
    const int length = word(i + 2);
    if (marker == 0xE0 && jpeg.mid(i + 4, 5) == QByteArray("JFIF\0", 5)) {
      jfif = true;
      EXPECT_EQ(byte(i + 11), 1) << "density in dots per inch";
      EXPECT_EQ(word(i + 12), 96);
      EXPECT_EQ(word(i + 14), 96);
    }
    if (marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      ADD_FAILURE() << "not a baseline frame: marker " << std::hex << marker;
    }
    if (marker == 0xC0) {
      frame = true;
      EXPECT_EQ(byte(i + 4), 8) << "bits per sample";
      EXPECT_EQ(word(i + 5), 546);
      EXPECT_EQ(word(i + 7), 689);
      EXPECT_EQ(byte(i + 9), 3) << "components";
    }
    if (marker == 0xDA) break;
    i += 2 + length;
  }
  EXPECT_TRUE(jfif);
  EXPECT_TRUE(frame);
}

TEST(DecodeJpeg, ReadsAnOddSizedColourPictureInRgbOrder) {
  const QImage image = DecodeJpeg(TestJpeg("orange_13x7.jpg"));
  ASSERT_EQ(image.size(), QSize(13, 7));
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_TRUE(AllPixelsNear(image, QColor(220, 120, 30), 6));
}

TEST(DecodeJpeg, ReadsAProgressivePicture) {
  const QImage image = DecodeJpeg(TestJpeg("orange_13x7_progressive.jpg"));
  ASSERT_EQ(image.size(), QSize(13, 7));
  EXPECT_TRUE(AllPixelsNear(image, QColor(220, 120, 30), 6));
}

TEST(DecodeJpeg, SpreadsGrayscaleOverTheThreeChannels) {
  const QImage image = DecodeJpeg(TestJpeg("gray_9x5.jpg"));
  ASSERT_EQ(image.size(), QSize(9, 5));
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_TRUE(AllPixelsNear(image, QColor(128, 128, 128), 2));
}

TEST(DecodeJpeg, ConvertsCmykToRgb) {
  const QImage image = DecodeJpeg(TestJpeg("blue_6x4_cmyk.jpg"));
  ASSERT_EQ(image.size(), QSize(6, 4));
  EXPECT_TRUE(AllPixelsNear(image, QColor(30, 90, 200), 8));
}

TEST(DecodeJpeg, GivesANullImageForAnEmptyStream) {
  EXPECT_TRUE(DecodeJpeg(QByteArrayView()).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("")).isNull());
}

TEST(DecodeJpeg, GivesANullImageForSomethingElse) {
  EXPECT_TRUE(DecodeJpeg(QByteArray("Dina Rader:\r\nE,1,X,2,1,X,2,1,X,2,1,X,2,1\r\n")).isNull());
  EXPECT_TRUE(DecodeJpeg(ReadFile(SPELKUB_ASSETS_DIR "/icons/spelkub_lite_16.png")).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("\xFF\xD8", 2)).isNull()) << "start of image and nothing more";
}

TEST(DecodeJpeg, GivesANullImageForATruncatedStream) {
  const QByteArray jpeg = EmbeddedPicture();
  ASSERT_FALSE(DecodeJpeg(jpeg).isNull());
  for (const qsizetype keep :
       {qsizetype{20}, qsizetype{400}, jpeg.size() / 2, jpeg.size() * 9 / 10, jpeg.size() - 200}) {
    EXPECT_TRUE(DecodeJpeg(jpeg.left(keep)).isNull()) << "first " << keep << " bytes";
  }
}

TEST(DecodeJpeg, GivesANullImageForABrokenHeader) {
  const QByteArray jpeg = EmbeddedPicture();
  const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(frame, 0);
  QByteArray no_height = jpeg;
  no_height[frame + 5] = 0;
  no_height[frame + 6] = 0;
  EXPECT_TRUE(DecodeJpeg(no_height).isNull());
  QByteArray twelve_bits = jpeg;
  twelve_bits[frame + 4] = 12;
  EXPECT_TRUE(DecodeJpeg(twelve_bits).isNull());
  QByteArray no_components = jpeg;
  no_components[frame + 9] = 0;
  EXPECT_TRUE(DecodeJpeg(no_components).isNull());
}

TEST(DecodeJpeg, GivesANullImageWhenTheScanHitsAForeignMarker) {
  QByteArray jpeg = EmbeddedPicture();
  // An end-of-image marker in the middle of the compressed data.
  jpeg[jpeg.size() / 2] = char(0xFF);
  jpeg[jpeg.size() / 2 + 1] = char(0xD9);
  EXPECT_TRUE(DecodeJpeg(jpeg).isNull());
}

TEST(DecodeJpeg, GivesANullImageForAForgedHugeSize) {
  QByteArray jpeg = EmbeddedPicture();
  const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(frame, 0);
  // 65000 x 65000 pixels claimed by a 13 KB stream.
  jpeg[frame + 5] = char(0xFD);
  jpeg[frame + 6] = char(0xE8);
  jpeg[frame + 7] = char(0xFD);
  jpeg[frame + 8] = char(0xE8);
  EXPECT_TRUE(DecodeJpeg(jpeg).isNull());
}

// Random damage anywhere in the stream: the decoder either reads a whole
// picture of the right size or returns a null image, and never crashes.
TEST(DecodeJpeg, SurvivesRandomDamage) {
  const QByteArray jpeg = EmbeddedPicture();
  QRandomGenerator random(20080918);
  int null_images = 0;
  for (int round = 0; round < 150; ++round) {
    QByteArray damaged = jpeg;
    const int hits = 1 + random.bounded(8);
    for (int i = 0; i < hits; ++i) {
      damaged[random.bounded(jpeg.size())] = char(random.bounded(256));
    }
    const QImage image = DecodeJpeg(damaged);
    if (image.isNull()) {
      ++null_images;
    } else {
      EXPECT_EQ(image.size(), QSize(689, 546)) << "round " << round;
    }
  }
  EXPECT_GT(null_images, 0);
}

class ProgramIconTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QGuiApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "picture_test";
      static char* argv[] = {name, nullptr};
      new QGuiApplication(argc, argv);
    }
  }
};

TEST_F(ProgramIconTest, HoldsTheDesktopSizes) {
  const QIcon icon = ProgramIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  for (const int size : {16, 32, 48, 128}) {
    EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_EQ(icon.pixmap(size).size(), QSize(size, size)) << size;
  }
}

TEST_F(ProgramIconTest, IsARoundedOpaqueTile) {
  const QIcon icon = ProgramIcon();
  for (const int size : {16, 32, 48, 128}) {
    const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size << ": corner";
    EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0) << size << ": corner";
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size << ": middle";
  }
}

// The Windows icon file: seven BMP images, 256 colours at 48, 32 and 16
// pixels and 32 bits per pixel at 128, 48, 32 and 16.
TEST(ProgramIconFile, HoldsTheSevenImages) {
  const QByteArray ico = ReadFile(SPELKUB_ASSETS_DIR "/spelkub_lite.ico");
  ASSERT_GE(ico.size(), 6);
  auto byte = [&](qsizetype i) { return static_cast<std::uint8_t>(ico.at(i)); };
  auto u16 = [&](qsizetype i) { return byte(i) | byte(i + 1) << 8; };
  auto u32 = [&](qsizetype i) { return std::uint32_t(u16(i)) | std::uint32_t(u16(i + 2)) << 16; };
  ASSERT_EQ(u16(0), 0);
  ASSERT_EQ(u16(2), 1) << "icon, not cursor";
  ASSERT_EQ(u16(4), 7);
  const std::vector<std::pair<int, int>> expected = {{48, 8},  {32, 8},  {16, 8}, {128, 32},
                                                     {48, 32}, {32, 32}, {16, 32}};
  for (int i = 0; i < 7; ++i) {
    const qsizetype entry = 6 + 16 * i;
    const auto [size, bits] = expected[i];
    EXPECT_EQ(byte(entry), size) << "entry " << i;
    EXPECT_EQ(byte(entry + 1), size) << "entry " << i;
    EXPECT_EQ(u16(entry + 6), bits) << "entry " << i;
    const std::uint32_t length = u32(entry + 8);
    const std::uint32_t offset = u32(entry + 12);
    ASSERT_LE(qsizetype(offset) + qsizetype(length), ico.size()) << "entry " << i;
    // The bitmap header agrees, and the image, palette and mask fill the entry.
    EXPECT_EQ(u32(offset), 40u);
    EXPECT_EQ(u32(offset + 4), std::uint32_t(size));
    EXPECT_EQ(u32(offset + 8), std::uint32_t(2 * size)) << "colour image and mask";
    EXPECT_EQ(u16(offset + 14), bits);
    const std::uint32_t palette = bits == 8 ? 256 * 4 : 0;
    const std::uint32_t pixels = ((size * bits + 31) / 32 * 4) * size;
    const std::uint32_t mask = ((size + 31) / 32 * 4) * size;
    EXPECT_EQ(length, 40 + palette + pixels + mask) << "entry " << i;
  }
}

}  // namespace
}  // namespace spelkub
