#pragma once
// Where lorvane keeps its configuration, logs and themes. A copy run from its build tree (or any
// tree with a "conf/" folder) keeps everything beside the executable's folder, in the base folder.
// An installed copy knows itself by its layout: its base folder (the prefix) holds
// "share/lorvane/" and no "conf/". It reads themes from "<prefix>/share/lorvane/themes/" and keeps
// what it writes in the user's folders: configuration in $XDG_CONFIG_HOME/lorvane/ (made from the
// templates in "<prefix>/share/lorvane/conf/"), logs in $XDG_STATE_HOME/lorvane/logs/. Whether the
// prefix can be written is no sign either way: root can write anywhere.
#include <string>
#include <vector>

namespace lorvane {

struct TFolderLayout {
  bool installed = false;
  std::string base;           // every folder ends with "/"
  std::string configuration;
  std::string themes;
  std::string logs;
  std::string templates;      // installed only: the shipped configuration files

  // The layout of the tree whose base folder is `base`, with the user's folders taken from the
  // environment ($XDG_CONFIG_HOME, $XDG_STATE_HOME, $HOME, as the XDG base directory rules say).
  static TFolderLayout ForBase(const std::string& base);

  // Installed only: makes the user's folders and copies every template that the configuration
  // folder lacks (all of them on the first start; files added by a later version after that).
  // What was done goes to `notes`; what failed to `problems`. Nothing to do for a build tree.
  void Prepare(std::vector<std::string>& notes, std::vector<std::string>& problems) const;
};

}  // namespace lorvane
