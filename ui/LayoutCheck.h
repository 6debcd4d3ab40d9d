#pragma once
// A theme's layout faults that a picture shows and a key walk does not: text that another control
// covers or runs into.
#include <string>
#include <vector>

namespace lorvane {

class TKLDControl;
class TKLDScreenLayout;

struct TKLDOverlap {
  const TKLDControl* first;   // drawn first
  const TKLDControl* second;  // drawn over it
};

// The pairs of shown controls of the screen whose visible rectangles meet, where one of them is a
// caption showing text. A shape or image drawn beneath a caption and holding it whole is the
// caption's backdrop, not a fault. In drawing order; empty for a screen never drawn.
std::vector<TKLDOverlap> FindTextOverlaps(const TKLDScreenLayout& screen);

// "overlap FIRST SECOND", one line for each pair.
std::vector<std::string> DescribeOverlaps(const std::vector<TKLDOverlap>& overlaps);

}  // namespace lorvane
