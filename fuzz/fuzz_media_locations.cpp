// "Media.xml": the picture, video and music folders, with paths made whole as at start-up.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "media/MediaLocations.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDMediaLocationParser parser;
  parser.SetHomeFolder("/home/fuzz");
  parser.SetNormalisePaths(size % 2 == 0);
  try {
    parser.LoadFromText(fuzz::Text(data, size));
  } catch (const TKLDException&) {
  }
  for (const TKLDMediaFolderList* list : {&parser.PictureFolders(), &parser.VideoFolders(), &parser.MusicFolders()})
    for (int i = 0; i <= list->Count(); ++i) list->Item(i);
  return 0;
}
