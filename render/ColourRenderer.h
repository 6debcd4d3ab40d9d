#pragma once
#include <cstdint>
#include <vector>

#include "render/Canvas.h"
#include "render/Random.h"

namespace lorvane {

// Pixel fills computed straight into a draw buffer: the graded fill (four corner colours blended
// across the buffer) and the plasma cloud (a fractal alpha mask in one colour). It holds no state.
class TKLDColourRenderer {
 public:
  static constexpr int kMaxPlasmaSize = 1024;

  void GraduatedFill(const TKLDCanvasColour& topLeft, const TKLDCanvasColour& topRight,
                     const TKLDCanvasColour& bottomLeft, const TKLDCanvasColour& bottomRight,
                     TKLDDrawBuffer& buffer) const;

  // A new cloud over the whole buffer, drawing from the given generator (the program's one by
  // default; the draws are part of the program's fixed random sequence).
  void GeneratePlasma(const TKLDCanvasColour& colour, TKLDDrawBuffer& buffer) const {
    GeneratePlasma(colour, buffer, KLDRandom());
  }
  void GeneratePlasma(const TKLDCanvasColour& colour, TKLDDrawBuffer& buffer,
                      TKLDRandom& random) const;
};

// The process-wide colour renderer.
TKLDColourRenderer& ColourRenderer();

// The height field of one plasma cloud: 1024 × 1024 bytes, 0 meaning "not yet computed" and
// computed cells lying in 1 … 255. Cell (x, y) is byte x × 1024 + y.
class TKLDPlasmaField {
 public:
  static constexpr int kSize = 1024;
  explicit TKLDPlasmaField(TKLDRandom& random);

  // Seeds the corners of the width × height rectangle and subdivides it.
  void Generate(int width, int height);
  uint8_t At(int x, int y) const { return cells_[static_cast<size_t>(x) * kSize + y]; }

 private:
  uint8_t& Cell(int x, int y) { return cells_[static_cast<size_t>(x) * kSize + y]; }
  void Displace(int tx, int ty, int px, int py, int qx, int qy);
  void Subdivide(int x1, int y1, int x2, int y2);

  TKLDRandom& random_;
  std::vector<uint8_t> cells_;
};

}  // namespace lorvane
