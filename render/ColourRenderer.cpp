#include "render/ColourRenderer.h"

#include <cmath>
#include <cstdlib>
#include <exception>

#include "base/Logging.h"

namespace lorvane {

namespace {

const char* const kMsgFillZero = "Received request to generate graduated fill of zero dimensions";
const char* const kMsgPlasmaZero =
    "Received request to generate plasma cloud fill of zero dimensions";
const char* const kMsgPlasmaTooLarge =
    "Requested plasma size exceeds maximum permitted plasma dimensions";
const char* const kMsgPlasmaError = "Error encountered whilst generating plasma cloud: ";

// Rounds to the nearest integer with halves to even.
int RoundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

// Channels in memory order of a pixel: blue, green, red, alpha.
void Channels(const TKLDCanvasColour& c, int out[4]) {
  out[0] = c.Blue();
  out[1] = c.Green();
  out[2] = c.Red();
  out[3] = c.Alpha();
}

}  // namespace

TKLDColourRenderer& ColourRenderer() {
  static TKLDColourRenderer renderer;
  return renderer;
}

void TKLDColourRenderer::GraduatedFill(const TKLDCanvasColour& topLeft,
                                       const TKLDCanvasColour& topRight,
                                       const TKLDCanvasColour& bottomLeft,
                                       const TKLDCanvasColour& bottomRight,
                                       TKLDDrawBuffer& buffer) const {
  const int width = buffer.Width();
  const int height = buffer.Height();
  if (width <= 0 || height <= 0) {
    LogWarn(kMsgFillZero);
    return;
  }
  int tl[4], tr[4], bl[4], br[4];
  Channels(topLeft, tl);
  Channels(topRight, tr);
  Channels(bottomLeft, bl);
  Channels(bottomRight, br);
  // 8.8 fixed point in 16 bits, wrapping like the registers it was designed for.
  uint16_t left[4], right[4];
  int16_t leftStep[4], rightStep[4];
  for (int c = 0; c < 4; ++c) {
    left[c] = static_cast<uint16_t>(tl[c] * 256);
    right[c] = static_cast<uint16_t>(tr[c] * 256);
    leftStep[c] = static_cast<int16_t>(RoundEven((bl[c] - tl[c]) * 256.0 / height));
    rightStep[c] = static_cast<int16_t>(RoundEven((br[c] - tr[c]) * 256.0 / height));
  }
  TKLDBitmapDescription bits;
  bits.WriteAccess = true;
  if (!buffer.LockBits(buffer.GetBounds(), bits)) return;
  for (int row = 0; row < bits.Height; ++row) {
    uint16_t value[4];
    int16_t step[4];
    for (int c = 0; c < 4; ++c) {
      step[c] = static_cast<int16_t>(RoundEven((int{right[c]} - int{left[c]}) / double(width)));
      value[c] = left[c];
      left[c] = static_cast<uint16_t>(left[c] + leftStep[c]);
      right[c] = static_cast<uint16_t>(right[c] + rightStep[c]);
    }
    uint8_t* p = bits.Bits + static_cast<size_t>(row) * bits.Stride;
    for (int col = 0; col < bits.Width; ++col, p += 4) {
      for (int c = 0; c < 4; ++c) {
        p[c] = static_cast<uint8_t>(value[c] >> 8);
        value[c] = static_cast<uint16_t>(value[c] + step[c]);
      }
    }
  }
  buffer.UnlockBits();
}

// ---- Plasma ----

TKLDPlasmaField::TKLDPlasmaField(TKLDRandom& random)
    : random_(random), cells_(static_cast<size_t>(kSize) * kSize, 0) {}

void TKLDPlasmaField::Generate(int width, int height) {
  // Corners first, in this order, so the cloud is fixed by the generator's state.
  Cell(0, height - 1) = static_cast<uint8_t>(random_.Int(255));
  Cell(width - 1, height - 1) = static_cast<uint8_t>(random_.Int(255));
  Cell(width - 1, 0) = static_cast<uint8_t>(random_.Int(255));
  Cell(0, 0) = static_cast<uint8_t>(random_.Int(255));
  Subdivide(0, 0, width - 1, height - 1);
}

void TKLDPlasmaField::Displace(int tx, int ty, int px, int py, int qx, int qy) {
  uint8_t& target = Cell(tx, ty);
  if (target != 0) return;
  const double r = random_.Real();
  const int distance = std::abs(px - qx) + std::abs(py - qy);
  const double mean = (double(Cell(px, py)) + double(Cell(qx, qy))) / 2.0;
  int value = static_cast<int>((r - 0.5) * distance * 0.5 + mean);
  if (value < 1) value = 1;
  if (value > 255) value = 255;
  target = static_cast<uint8_t>(value);
}

void TKLDPlasmaField::Subdivide(int x1, int y1, int x2, int y2) {
  if (x2 - x1 < 2 && y2 - y1 < 2) return;
  const int xm = (x1 + x2) / 2;
  const int ym = (y1 + y2) / 2;
  Displace(xm, y1, x1, y1, x2, y1);
  Displace(x2, ym, x2, y1, x2, y2);
  Displace(xm, y2, x1, y2, x2, y2);
  Displace(x1, ym, x1, y1, x1, y2);
  uint8_t& centre = Cell(xm, ym);
  if (centre == 0) {
    centre = static_cast<uint8_t>(
        (int{Cell(x1, y1)} + Cell(x2, y1) + Cell(x2, y2) + Cell(x1, y2)) / 4);
  }
  Subdivide(x1, y1, xm, ym);
  Subdivide(xm, y1, x2, ym);
  Subdivide(xm, ym, x2, y2);
  Subdivide(x1, ym, xm, y2);
}

void TKLDColourRenderer::GeneratePlasma(const TKLDCanvasColour& colour, TKLDDrawBuffer& buffer,
                                        TKLDRandom& random) const {
  const int width = buffer.Width();
  const int height = buffer.Height();
  if (width <= 0 || height <= 0) {
    LogWarn(kMsgPlasmaZero);
    return;
  }
  if (width > kMaxPlasmaSize || height > kMaxPlasmaSize) {
    LogWarn(kMsgPlasmaTooLarge);
    return;
  }
  try {
    TKLDPlasmaField field(random);
    field.Generate(width, height);
    TKLDBitmapDescription bits;
    bits.WriteAccess = true;
    if (!buffer.LockBits(buffer.GetBounds(), bits)) return;
    for (int y = 0; y < bits.Height; ++y) {
      uint8_t* p = bits.Bits + static_cast<size_t>(y) * bits.Stride;
      for (int x = 0; x < bits.Width; ++x, p += 4) {
        p[0] = colour.Blue();
        p[1] = colour.Green();
        p[2] = colour.Red();
        p[3] = field.At(x, y);
      }
    }
    buffer.UnlockBits();
  } catch (const std::exception& e) {
    LogWarn(std::string(kMsgPlasmaError) + e.what());
  }
}

}  // namespace lorvane
