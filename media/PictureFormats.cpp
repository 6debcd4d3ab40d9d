#include "media/PictureFormats.h"

#include <algorithm>

#include "base/Logging.h"
#include "media/MediaFolders.h"

namespace lorvane {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool Decodes(const std::vector<TKLDPictureFormat>& formats, const std::string& extension) {
  const std::string wanted = Lower(extension.substr(extension.front() == '.' ? 1 : 0));
  for (const TKLDPictureFormat& format : formats)
    for (const std::string& known : format.Extensions)
      if (Lower(known) == wanted) return true;
  return false;
}

}  // namespace

std::string LoaderPackageFor(const std::string& extension) {
  const std::string e = Lower(extension);
  if (e == ".webp") return "webp-pixbuf-loader";
  // The other loaders for the types listed come with gdk-pixbuf itself.
  for (const char* own : {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".tif", ".tiff"})
    if (e == own) return "libgdk-pixbuf-2.0-0";
  return std::string();
}

void ReportPictureFormats(const std::vector<TKLDPictureFormat>& formats) {
  std::string known;
  for (const TKLDPictureFormat& format : formats) {
    known += (known.empty() ? "" : ", ") + format.Name;
    std::string extensions;
    for (const std::string& e : format.Extensions) extensions += (extensions.empty() ? "" : " ") + e;
    if (!extensions.empty()) known += " (" + extensions + ")";
  }
  LogInfo("Picture formats that can be shown: " + (known.empty() ? std::string("none") : known));

  std::vector<std::string> undecodable;
  for (const std::string& extension : PictureExtensions()) {
    if (Decodes(formats, extension)) continue;
    undecodable.push_back(extension);
    const std::string package = LoaderPackageFor(extension);
    LogWarn("Pictures of type " + extension + " cannot be shown: no installed image loader reads them; " +
            (package.empty() ? std::string("install a gdk-pixbuf loader for them")
                             : "install the package " + package));
  }
  TKLDPixbufImage::SetUndecodableExtensions(std::move(undecodable));
}

}  // namespace lorvane
