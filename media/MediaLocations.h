#pragma once
// Where the user's media lives: the folders listed in "Media.xml" in the configuration folder.
//
//   <MediaManager>
//     <MediaLocations>
//       <Music><Directory name="Albums" virtual="yes">~/Music</Directory></Music>
//       <Video>...</Video> <Pictures>...</Pictures>
//     </MediaLocations>
//   </MediaManager>
//
// Each category (music, video, pictures) holds folders in file order. A normal folder is merged
// into its category's top level; a virtual one shows there as a folder of its own, under its
// name. A folder path that starts with "~/" is read relative to the user's home folder.
// The folder browser (media/UPnP.h) walks the three lists.
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

class TKLDXMLHelper;

struct TKLDMediaFolder {
  // For a virtual folder: the caption at the category's top level and the first component of
  // every virtual path inside it.
  std::string Name;
  // The folder on disk.
  std::string Path;
  bool Virtual = false;
};

// An ordered, owning list of folders, in file order.
class TKLDMediaFolderList {
 public:
  int Count() const { return static_cast<int>(folders_.size()); }
  // Null for an index outside the list.
  const TKLDMediaFolder* Item(int index) const;
  TKLDMediaFolder* Add(const std::string& name, const std::string& path, bool isVirtual);

 private:
  std::vector<std::unique_ptr<TKLDMediaFolder>> folders_;
};

class TKLDMediaLocationParser {
 public:
  static constexpr const char* kFileName = "Media.xml";

  // Reads directory + "Media.xml" and appends its folders to the lists (which are not cleared
  // first). False, silently, when the file does not exist. A file that cannot be parsed raises
  // TKLDException ("Error parsing file ..." for XML that is not well formed, "Encountered error
  // whilst parsing Media Locations XML: ..." for a wrong structure); folders read before the
  // error stay in the lists.
  bool LoadFromFile(const std::string& directory);
  // The same from text already in memory; fileName only names it in error messages.
  void LoadFromText(const std::string& content, const std::string& fileName = kFileName);

  // When set, every folder's Name and Path end with "/" (an empty name becomes "/").
  bool NormalisePaths() const { return normalisePaths_; }
  void SetNormalisePaths(bool value) { normalisePaths_ = value; }
  // Where "~/" leads; the user's home folder unless set (tests set it).
  void SetHomeFolder(const std::string& folder) { homeFolder_ = folder; homeKnown_ = true; }

  const TKLDMediaFolderList& PictureFolders() const { return pictureFolders_; }
  const TKLDMediaFolderList& VideoFolders() const { return videoFolders_; }
  const TKLDMediaFolderList& MusicFolders() const { return musicFolders_; }
  TKLDMediaFolderList& PictureFolders() { return pictureFolders_; }
  TKLDMediaFolderList& VideoFolders() { return videoFolders_; }
  TKLDMediaFolderList& MusicFolders() { return musicFolders_; }

  [[noreturn]] static void RaiseParseError(const std::string& message);

 private:
  void Parse(TKLDXMLHelper& xml);
  std::string ExpandPath(const std::string& path);

  bool normalisePaths_ = false;
  bool homeKnown_ = false;
  std::string homeFolder_;
  TKLDMediaFolderList pictureFolders_;
  TKLDMediaFolderList videoFolders_;
  TKLDMediaFolderList musicFolders_;
};

// The start-up step: NormalisePaths on, then "Media.xml" from the configuration folder.
// Returns LoadFromFile's answer; errors raise as LoadFromFile's do.
bool LoadLocations(TKLDMediaLocationParser& parser, const std::string& configurationFolder);

}  // namespace lorvane
