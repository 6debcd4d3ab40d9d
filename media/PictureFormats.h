#pragma once
// Which of the picture types lorvane lists the installed image loaders can show. A fresh system
// may lack one (WebP comes in a package of its own): the user is told once at start, naming the
// package, instead of once for each such file each time it is tried.
#include <string>
#include <vector>

#include "platform/PixbufImage.h"

namespace lorvane {

// Logs at INFO which formats can be decoded, and at WARN each picture extension that none of them
// reads, with the package that would add it. Files of those extensions then fail without a
// warning each (TKLDPixbufImage::HasUndecodableExtension). Called once at start.
void ReportPictureFormats(const std::vector<TKLDPictureFormat>& formats);

// The Debian package whose loader reads the extension (".WEBP" → "webp-pixbuf-loader"); empty
// when none is known.
std::string LoaderPackageFor(const std::string& extension);

}  // namespace lorvane
