#pragma once
// What a film container says about itself (its title and length) and a picture of it: a frame
// from about a tenth of the way in, shown as a viewer would see it (pixel aspect and the
// rotation the file asks for applied). Each call opens the file on its own; any thread.
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

struct TKLDFilmInfo {
  std::string title;    // the container's title tag, empty when it has none
  double duration = 0;  // seconds, 0 when unknown
};

// False with a reason when the file cannot be opened as a container.
bool ReadFilmInfo(const std::string& path, TKLDFilmInfo& info, std::string& error);

// A frame fitted into maxWidth × maxHeight (never enlarged), as B, G, R, A rows (alpha 255).
struct TKLDFilmFrame {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
};
bool GrabFilmFrame(const std::string& path, int maxWidth, int maxHeight, TKLDFilmFrame& frame,
                   std::string& error);

}  // namespace lorvane
