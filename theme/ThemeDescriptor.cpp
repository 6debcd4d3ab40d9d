#include "theme/ThemeDescriptor.h"

#include <cstdio>
#include <ctime>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/FileSystem.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

constexpr const char* kErrorPrefix = "Encountered error whilst parsing Theme Descriptor XML: ";

[[noreturn]] void RaiseError(const std::string& text) { throw TKLDException(kErrorPrefix + text); }
}  // namespace

void TKLDPreviewList::Add(const std::string& name, const std::string& fileName) {
  previews_.push_back(std::make_unique<TKLDPreview>(TKLDPreview{name, fileName}));
}

TKLDThemeDescriptor::TKLDThemeDescriptor() { Reset(); }

TKLDThemeDescriptor::Date TKLDThemeDescriptor::Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date{std::chrono::year{local.tm_year + 1900}, std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
              std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

bool TKLDThemeDescriptor::ParseDate(const std::string& text, Date& date) {
  int year = 0;
  unsigned month = 0, day = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2u-%2u%n", &year, &month, &day, &consumed) != 3) return false;
  if (static_cast<size_t>(consumed) != text.size()) return false;
  Date parsed{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (!parsed.ok()) return false;
  date = parsed;
  return true;
}

void TKLDThemeDescriptor::Reset() {
  name_.clear();
  version_.clear();
  directory_.clear();
  author_ = "No author";
  homepageUrl_ = "https://lorvane.org/";
  dateCreated_ = Today();
  dateUpdated_ = dateCreated_;
  designedWidth_ = kDefaultDesignedWidth;
  designedHeight_ = kDefaultDesignedHeight;
  license_ = "No license details";
  themeDescription_ = "No description provided";
  details_ = "No details provided";
  minVersion_ = "1.3.0";
}

bool TKLDThemeDescriptor::LoadFromFile(const std::string& themeDir) {
  Reset();
  // Previews of a theme read earlier would otherwise be offered for this one.
  previews_.Clear();
  std::string fileName = themeDir + kFileName;
  if (!FileExists(fileName)) return true;

  TKLDXMLHelper xml(fileName);
  TKLDXmlNode root;
  if (!xml.FindRootNode("Theme", root)) RaiseError("Missing Theme descriptor start tag");
  name_ = xml.GetAttribute("name");
  version_ = xml.GetAttribute("version");
  directory_ = xml.GetAttribute("directory");

  // Every scaled length divides by the designed size, so only a positive size replaces it.
  auto readSize = [&xml](const char* what, int& field) {
    int value = 0;
    std::string text = xml.GetValue();
    if (!TryParseInteger(text, value)) return;
    if (value <= 0) {
      LogWarn(std::string("Ignoring ") + what + " " + text + " in theme descriptor: it must be positive");
      return;
    }
    field = value;
  };

  TKLDXmlNode child;
  while (xml.NextElement(root, child)) {
    const std::string element = xml.CurrentNodeName();
    if (element == "Author") {
      author_ = xml.GetValue();
    } else if (element == "HomepageUrl") {
      homepageUrl_ = xml.GetValue();
    } else if (element == "License") {
      license_ = xml.GetValue();
    } else if (element == "Description") {
      themeDescription_ = xml.GetValue();
    } else if (element == "Details") {
      details_ = xml.GetValue();
    } else if (element == "MinVersion") {
      minVersion_ = xml.GetValue();
    } else if (element == "DateCreated") {
      ParseDate(xml.GetValue(), dateCreated_);
    } else if (element == "DateUpdated") {
      ParseDate(xml.GetValue(), dateUpdated_);
    } else if (element == "DesignedWidth") {
      readSize("DesignedWidth", designedWidth_);
    } else if (element == "DesignedHeight") {
      readSize("DesignedHeight", designedHeight_);
    } else if (element == "PreviewList") {
      TKLDXmlNode preview;
      while (xml.FindElement(child, preview, "Preview")) previews_.Add(xml.GetAttribute("name"), xml.GetValue());
    } else {
      RaiseError("Unknown content type within Theme descriptor");
    }
  }
  return true;
}
}  // namespace lorvane
