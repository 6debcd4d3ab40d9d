#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

// One preview picture of a theme: its name and its file inside the theme.
struct TKLDPreview {
  std::string Name;
  std::string FileName;
};

class TKLDPreviewList {
 public:
  void Add(const std::string& name, const std::string& fileName);
  void Clear() { previews_.clear(); }
  int Count() const { return static_cast<int>(previews_.size()); }
  const TKLDPreview& Item(int i) const { return *previews_[i]; }

 private:
  std::vector<std::unique_ptr<TKLDPreview>> previews_;
};

// What a theme says about itself in "ThemeDescriptor.xml". Only the designed size is used by
// the program (every theme length is scaled from it); the rest is kept for the settings screens.
class TKLDThemeDescriptor {
 public:
  using Date = std::chrono::year_month_day;

  static constexpr const char* kFileName = "ThemeDescriptor.xml";
  static constexpr int kDefaultDesignedWidth = 800;
  static constexpr int kDefaultDesignedHeight = 600;

  TKLDThemeDescriptor();

  // Every field back to its default; the previews stay as they are.
  void Reset();
  // Reads themeDir + "ThemeDescriptor.xml" (themeDir ends with a separator). A theme without
  // the file keeps the defaults. Raises TKLDException on bad content or unreadable XML.
  bool LoadFromFile(const std::string& themeDir);

  const std::string& Name() const { return name_; }
  const std::string& Version() const { return version_; }
  const std::string& Directory() const { return directory_; }
  const std::string& Author() const { return author_; }
  const std::string& HomepageUrl() const { return homepageUrl_; }
  Date DateCreated() const { return dateCreated_; }
  Date DateUpdated() const { return dateUpdated_; }
  int DesignedWidth() const { return designedWidth_; }
  int DesignedHeight() const { return designedHeight_; }
  const std::string& License() const { return license_; }
  const std::string& ThemeDescription() const { return themeDescription_; }
  const std::string& Details() const { return details_; }
  const std::string& MinVersion() const { return minVersion_; }
  TKLDPreviewList& Previews() { return previews_; }
  const TKLDPreviewList& Previews() const { return previews_; }

  // Dates in theme files are written in the short form yyyy-mm-dd.
  static bool ParseDate(const std::string& text, Date& date);
  static Date Today();

 private:
  std::string name_, version_, directory_;
  std::string author_, homepageUrl_;
  Date dateCreated_, dateUpdated_;
  int designedWidth_ = kDefaultDesignedWidth;
  int designedHeight_ = kDefaultDesignedHeight;
  std::string license_, themeDescription_, details_, minVersion_;
  TKLDPreviewList previews_;
};

}  // namespace lorvane
