#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

class TKLDNestedMetaData;
class TKLDMetaDataManager;

// A group of metadata: lines of the form name "=" value, kept sorted by a case-insensitive
// comparison of the whole line. A line may carry a nested group; the group is held in its parent
// as the line name "=" (empty value) and is freed with the line.
class TKLDMetaData {
 public:
  struct Line {
    std::string text;
    std::unique_ptr<TKLDNestedMetaData> group;
  };

  TKLDMetaData();
  virtual ~TKLDMetaData();
  TKLDMetaData(const TKLDMetaData&) = delete;
  TKLDMetaData& operator=(const TKLDMetaData&) = delete;

  // Walks the dotted path, creating missing groups on the way; on return `name` holds the
  // last part. An empty path part stops the walk: the rest, dots included, names the entry.
  TKLDMetaData& ResolveGroup(std::string& name);

  // Adds the line without looking for an existing one (a line identical to one present is ignored).
  void AddValue(const std::string& name, const std::string& value);
  // Replaces the first line of that name (keeping any group it carries) or adds one.
  void SetValue(const std::string& name, const std::string& value);
  // The stored text of a name; "count" gives the number of lines of the group and a name
  // starting with "#" reads its last part as a zero-based line index.
  std::string GetRawValue(const std::string& name);
  // The group of that name, or null when the name is a plain value or unknown.
  TKLDNestedMetaData* GetGroup(const std::string& name);
  // Adds the line name "=" value to this group itself, dots and all (a flat list to merge later).
  void AddLine(const std::string& name, const std::string& value);
  // Sets every name of the source here, taking the value of the source's first line of that name;
  // groups of the source are merged into the groups of the same name.
  void Merge(const TKLDMetaData& source);
  // Merges this list into the process-wide metadata manager (nothing when there is none).
  void Publish() const;
  void Publish(TKLDMetaDataManager& manager) const;

  void Clear();
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& LineText(int i) const { return lines_[i].text; }
  TKLDNestedMetaData* LineGroup(int i) const { return lines_[i].group.get(); }
  std::string LineName(int i) const;
  std::string LineValue(int i) const;
  // Index of the first line (in sorted order) named `name`, case-insensitively; -1 when none.
  int IndexOfName(const std::string& name) const;

 private:
  // Inserts at the sorted position; a line equal (ignoring case) to one present is dropped.
  // Returns the index of the new line or of the one that was already there: a group head that
  // holds "=" is never found by name, so the walk must step into the line it met before.
  int Insert(std::string text, std::unique_ptr<TKLDNestedMetaData> group);

  std::vector<Line> lines_;
};

// The class of the root and of every group: it is how a group is told apart from a value.
class TKLDNestedMetaData : public TKLDMetaData {};

// Case-insensitive comparison used by every metadata list (ASCII letters fold; other bytes
// compare by value, so UTF-8 text keeps a stable order).
int MetaCompareText(const std::string& a, const std::string& b);
bool MetaSameText(const std::string& a, const std::string& b);

// The program's blackboard of named text values.
class TKLDMetaDataManager {
 public:
  // Looks a language text up by its code; without one the current language manager answers.
  using TextLookup = std::function<std::string(const std::string& code)>;
  // Computes a value that is not stored (dynamic values).
  using ValueProvider = std::function<std::string()>;

  static constexpr int kMaxSubstitutionDepth = 6;
  // How long a text one outermost expansion may build. Values that refer to texts that refer
  // back several times each multiply at every level; past this the rest is left unexpanded.
  static constexpr size_t kMaxExpandedLength = 64 * 1024;

  // The newest manager becomes the process-wide one until it is destroyed.
  TKLDMetaDataManager();
  ~TKLDMetaDataManager();
  TKLDMetaDataManager(const TKLDMetaDataManager&) = delete;
  TKLDMetaDataManager& operator=(const TKLDMetaDataManager&) = delete;

  void SetValue(const std::string& name, const std::string& value);
  // The resolved value: stored text (with its text codes expanded), else the dynamic value.
  std::string GetValue(const std::string& name);
  TKLDNestedMetaData* GetGroup(const std::string& name);
  // The display text of `value` inside a group of choices.
  std::string GetGroupValue(const std::string& value, const std::string& groupName);
  // Replaces every "^{name}" by the value of that name.
  std::string ExpandMetadata(const std::string& text);
  // Replaces every "^[key]" by the language text of that key.
  std::string ExpandTextCodes(const std::string& text);
  void Merge(const TKLDMetaData& list);
  // Lines for the console: the root (empty prefix), a group (prefix ending in "."), or one value.
  void ListValues(std::vector<std::string>& list, const std::string& prefix);

  // A value computed on demand when nothing is stored under the name; subsystems that own such
  // values (the frame clock, media, screen) register theirs. Replaces an earlier provider.
  void RegisterDynamicValue(const std::string& name, ValueProvider provider);
  void UnregisterDynamicValue(const std::string& name);
  void SetTextLookup(TextLookup lookup) { textLookup_ = std::move(lookup); }

  TKLDNestedMetaData& Root() { return root_; }
  int SubstitutionDepth() const { return depth_; }

 private:
  std::string DynamicValue(const std::string& name) const;
  std::string LanguageText(const std::string& code) const;

  // Runs one substitution form within the outermost expansion's length budget.
  template <typename Lookup>
  std::string SubstituteWithin(const std::string& text, const char* open, char close, Lookup lookup);

  TKLDNestedMetaData root_;
  int depth_ = 0;
  // Substitutions under way (both forms) and what the outermost one has built so far.
  int nesting_ = 0;
  size_t expanded_ = 0;
  TextLookup textLookup_;
  // Keyed by the lower-cased name.
  std::map<std::string, ValueProvider> providers_;
};

// The process-wide metadata manager (null while the interface is down).
TKLDMetaDataManager* GlobalMetaDataManager();

}  // namespace lorvane
