#include "media/MediaLocations.h"

#include "base/FileSystem.h"
#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "platform/DirectoryReader.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

constexpr const char* kRootName = "MediaManager";

void EndWithSlash(std::string& text) {
  if (text.empty() || text.back() != '/') text += '/';
}

// A path laid out on a line of its own keeps the blanks and line breaks around it in the text.
std::string Trimmed(const std::string& text) {
  const char* const blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

const TKLDMediaFolder* TKLDMediaFolderList::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return folders_[static_cast<size_t>(index)].get();
}

TKLDMediaFolder* TKLDMediaFolderList::Add(const std::string& name, const std::string& path,
                                          bool isVirtual) {
  auto folder = std::make_unique<TKLDMediaFolder>();
  folder->Name = name;
  folder->Path = path;
  folder->Virtual = isVirtual;
  folders_.push_back(std::move(folder));
  return folders_.back().get();
}

void TKLDMediaLocationParser::RaiseParseError(const std::string& message) {
  throw TKLDException("Encountered error whilst parsing Media Locations XML: " + message);
}

bool TKLDMediaLocationParser::LoadFromFile(const std::string& directory) {
  std::string fileName = directory + kFileName;
  if (!FileExists(fileName)) return false;
  TKLDXMLHelper xml(fileName);
  Parse(xml);
  return true;
}

void TKLDMediaLocationParser::LoadFromText(const std::string& content, const std::string& fileName) {
  TKLDXMLHelper xml;
  xml.CreateFromText(content, fileName);
  Parse(xml);
}

std::string TKLDMediaLocationParser::ExpandPath(const std::string& path) {
  if (path.compare(0, 2, "~/") != 0) return path;
  if (!homeKnown_) {
    homeFolder_ = UserHomeFolder();
    homeKnown_ = true;
  }
  // Without a home folder the path is kept as written; it then names no folder and lists empty.
  if (homeFolder_.empty()) return path;
  std::string home = homeFolder_;
  if (home.back() == '/') home.pop_back();
  return home + path.substr(1);
}

void TKLDMediaLocationParser::Parse(TKLDXMLHelper& xml) {
  TKLDXmlNode root;
  if (!xml.FindRootNode(kRootName, root)) RaiseParseError("Missing MediaManager start tag");
  TKLDXmlNode locations;
  while (xml.NextElement(root, locations)) {
    if (xml.CurrentNodeName() != "MediaLocations")
      RaiseParseError("Unknown content type within Media locations");
    TKLDXmlNode category;
    while (xml.NextElement(locations, category)) {
      const std::string kind = xml.CurrentNodeName();
      TKLDMediaFolderList* list = kind == "Music"      ? &musicFolders_
                                  : kind == "Video"    ? &videoFolders_
                                  : kind == "Pictures" ? &pictureFolders_
                                                       : nullptr;
      TKLDXmlNode directory;
      while (xml.FindElement(category, directory, "Directory")) {
        std::string name = xml.GetAttribute("name");
        bool isVirtual = xml.GetAttribute("virtual") == "yes";
        const std::string written = Trimmed(xml.GetValue());
        if (written.empty()) {
          // Made a folder, it would become "/" and show the whole file system.
          if (list) LogWarn("Ignored a Directory without a path among the " + kind + " locations of " + kFileName);
          continue;
        }
        std::string path = ExpandPath(written);
        if (normalisePaths_) {
          EndWithSlash(path);
          EndWithSlash(name);
        }
        if (list) list->Add(name, path, isVirtual);
      }
    }
  }
}

bool LoadLocations(TKLDMediaLocationParser& parser, const std::string& configurationFolder) {
  parser.SetNormalisePaths(true);
  return parser.LoadFromFile(configurationFolder);
}

}  // namespace lorvane
