#include "metadata/MetaData.h"

#include <algorithm>
#include <charconv>

#include "base/Logging.h"
#include "base/Timing.h"
#include "theme/Languages.h"

namespace lorvane {

namespace {

TKLDMetaDataManager* gMetaDataManager = nullptr;

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = FoldCase(c);
  return out;
}

std::string NameOf(const std::string& line) { return line.substr(0, line.find('=')); }

std::string ValueOf(const std::string& line) {
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

// Strict decimal integer: the whole text must be a number.
bool ParseIndex(const std::string& text, int& out) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (*begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, out);
  return ec == std::errc() && ptr == end;
}

// Restores the substitution depth on every way out, exceptions included.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

// The common loop of both substitution forms: every open ... close reference is replaced by
// `lookup` of its key. A close mark that stands before the first open mark ends the
// substitution, and an unmatched open mark is kept as it is.
// `spent` counts the characters substituted in so far; once it passes `budget` the references
// left are kept as they stand.
template <typename Lookup>
std::string Substitute(const std::string& text, const char* open, char close, Lookup lookup, size_t& spent,
                       size_t budget) {
  std::string result;
  size_t from = 0;
  size_t p = text.find(open);
  size_t q = text.find(close);
  while (p != std::string::npos && q != std::string::npos && q > p && spent <= budget) {
    result.append(text, from, p - from);
    const std::string value = lookup(text.substr(p + 2, q - p - 2));
    spent += value.size();
    result += value;
    from = q + 1;
    p = text.find(open, from);
    q = text.find(close, from);
  }
  result.append(text, from, std::string::npos);
  return result;
}

}  // namespace

int MetaCompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(FoldCase(a[i]));
    unsigned char cb = static_cast<unsigned char>(FoldCase(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool MetaSameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && MetaCompareText(a, b) == 0;
}

// ---------------------------------------------------------------------------------------------
// TKLDMetaData

TKLDMetaData::TKLDMetaData() = default;
TKLDMetaData::~TKLDMetaData() = default;

void TKLDMetaData::Clear() { lines_.clear(); }

std::string TKLDMetaData::LineName(int i) const { return NameOf(lines_[i].text); }
std::string TKLDMetaData::LineValue(int i) const { return ValueOf(lines_[i].text); }

int TKLDMetaData::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& text = lines_[i].text;
    size_t eq = text.find('=');
    size_t len = eq == std::string::npos ? text.size() : eq;
    if (len == name.size() && MetaCompareText(text.substr(0, len), name) == 0) return static_cast<int>(i);
  }
  return -1;
}

int TKLDMetaData::Insert(std::string text, std::unique_ptr<TKLDNestedMetaData> group) {
  auto pos = std::lower_bound(lines_.begin(), lines_.end(), text,
                              [](const Line& line, const std::string& t) { return MetaCompareText(line.text, t) < 0; });
  if (pos != lines_.end() && MetaCompareText(pos->text, text) == 0) return static_cast<int>(pos - lines_.begin());
  pos = lines_.insert(pos, Line{std::move(text), std::move(group)});
  return static_cast<int>(pos - lines_.begin());
}

TKLDMetaData& TKLDMetaData::ResolveGroup(std::string& name) {
  TKLDMetaData* current = this;
  size_t dot;
  while ((dot = name.find('.')) != std::string::npos) {
    std::string head = name.substr(0, dot);
    if (head.empty()) break;
    name.erase(0, dot + 1);
    int index = current->IndexOfName(head);
    if (index < 0) index = current->Insert(head + "=", std::make_unique<TKLDNestedMetaData>());
    Line& line = current->lines_[index];
    // A plain value that is also used as a path becomes a group instead of leaving the walk
    // with nothing to step into; like every group line it then reads as empty.
    if (!line.group) line.group = std::make_unique<TKLDNestedMetaData>();
    current = line.group.get();
  }
  return *current;
}

void TKLDMetaData::AddValue(const std::string& name, const std::string& value) {
  std::string last = name;
  TKLDMetaData& group = ResolveGroup(last);
  group.Insert(last + "=" + value, nullptr);
}

void TKLDMetaData::SetValue(const std::string& name, const std::string& value) {
  std::string last = name;
  TKLDMetaData& group = ResolveGroup(last);
  // A line's name ends at its first "=", so a name holding one can never be found again: read
  // the rest as the start of the value, or every set would add one more line.
  std::string text = last + "=" + value;
  size_t eq = last.find('=');
  if (eq != std::string::npos) last.erase(eq);
  int index = group.IndexOfName(last);
  if (index < 0) {
    group.Insert(std::move(text), nullptr);
    return;
  }
  Line line = std::move(group.lines_[index]);
  group.lines_.erase(group.lines_.begin() + index);
  auto pos = std::lower_bound(group.lines_.begin(), group.lines_.end(), text,
                              [](const Line& l, const std::string& t) { return MetaCompareText(l.text, t) < 0; });
  line.text = std::move(text);
  group.lines_.insert(pos, std::move(line));
}

std::string TKLDMetaData::GetRawValue(const std::string& name) {
  std::string last = name;
  TKLDMetaData& group = ResolveGroup(last);
  if (last == "count") return std::to_string(group.Count());
  if (!name.empty() && name[0] == '#') {
    int index = -1;
    if (!ParseIndex(last, index) || index < 0 || index >= group.Count()) return std::string();
    return group.LineValue(index);
  }
  // A line that carries a group reads as empty, whatever text was set on it.
  int index = group.IndexOfName(last);
  if (index < 0 || group.LineGroup(index)) return std::string();
  return group.LineValue(index);
}

TKLDNestedMetaData* TKLDMetaData::GetGroup(const std::string& name) {
  std::string last = name;
  TKLDMetaData& group = ResolveGroup(last);
  int index = group.IndexOfName(last);
  return index < 0 ? nullptr : group.lines_[index].group.get();
}

void TKLDMetaData::AddLine(const std::string& name, const std::string& value) { Insert(name + "=" + value, nullptr); }

void TKLDMetaData::Merge(const TKLDMetaData& source) {
  for (int i = 0; i < source.Count(); ++i) {
    std::string name = source.LineName(i);
    if (const TKLDNestedMetaData* nested = source.LineGroup(i)) {
      // A source built with dotted names holds groups: merge them group by group rather than
      // flattening them into empty values.
      std::string last = name;
      TKLDMetaData& parent = ResolveGroup(last);
      int index = parent.IndexOfName(last);
      if (index < 0) index = parent.Insert(last + "=", std::make_unique<TKLDNestedMetaData>());
      Line& line = parent.lines_[index];
      if (!line.group) line.group = std::make_unique<TKLDNestedMetaData>();
      line.group->Merge(*nested);
      continue;
    }
    int first = source.IndexOfName(name);
    SetValue(name, source.LineValue(first));
  }
}

void TKLDMetaData::Publish() const {
  if (TKLDMetaDataManager* manager = GlobalMetaDataManager()) Publish(*manager);
}

void TKLDMetaData::Publish(TKLDMetaDataManager& manager) const { manager.Merge(*this); }

// ---------------------------------------------------------------------------------------------
// TKLDMetaDataManager

TKLDMetaDataManager* GlobalMetaDataManager() { return gMetaDataManager; }

TKLDMetaDataManager::TKLDMetaDataManager() {
  root_.AddValue("application.name", "lorvane");
  root_.AddValue("application.url", "https://lorvane.org/");
  root_.AddValue("application.version", ApplicationVersion());
  root_.AddValue("system.booleans.yes", "^[system.booleans.yes]");
  root_.AddValue("system.booleans.no", "^[system.booleans.no]");

  // The frame clock formats these once a second; without a clock they read as empty.
  auto clockText = [](const std::string& (TKLDTimer::*text)() const) {
    return [text]() -> std::string {
      TKLDTimer* timer = Timer();
      return timer ? (timer->*text)() : std::string();
    };
  };
  RegisterDynamicValue("application.time", clockText(&TKLDTimer::TimeText));
  RegisterDynamicValue("application.date", clockText(&TKLDTimer::DateText));
  RegisterDynamicValue("media.current.position", clockText(&TKLDTimer::PositionText));
  RegisterDynamicValue("media.current.duration", clockText(&TKLDTimer::DurationText));
  RegisterDynamicValue("media.current.remaining", clockText(&TKLDTimer::RemainingText));
  RegisterDynamicValue("media.current.positionseconds", clockText(&TKLDTimer::PositionSecondsText));
  RegisterDynamicValue("media.current.durationseconds", clockText(&TKLDTimer::DurationSecondsText));
  RegisterDynamicValue("media.current.remainingseconds", clockText(&TKLDTimer::RemainingSecondsText));

  gMetaDataManager = this;
}

TKLDMetaDataManager::~TKLDMetaDataManager() {
  if (gMetaDataManager == this) gMetaDataManager = nullptr;
}

void TKLDMetaDataManager::RegisterDynamicValue(const std::string& name, ValueProvider provider) {
  providers_[Lower(name)] = std::move(provider);
}

void TKLDMetaDataManager::UnregisterDynamicValue(const std::string& name) { providers_.erase(Lower(name)); }

std::string TKLDMetaDataManager::DynamicValue(const std::string& name) const {
  auto it = providers_.find(Lower(name));
  if (it == providers_.end() || !it->second) return std::string();
  return it->second();
}

std::string TKLDMetaDataManager::LanguageText(const std::string& code) const {
  if (textLookup_) return textLookup_(code);
  if (TKLDLanguageManager* language = CurrentLanguageManager()) return language->GetText(code);
  return "Unknown text code: " + code;
}

void TKLDMetaDataManager::SetValue(const std::string& name, const std::string& value) { root_.SetValue(name, value); }

std::string TKLDMetaDataManager::GetValue(const std::string& name) {
  std::string raw = root_.GetRawValue(name);
  if (raw.empty()) return DynamicValue(name);
  if (raw.find('[') != std::string::npos) return ExpandTextCodes(raw);
  return raw;
}

TKLDNestedMetaData* TKLDMetaDataManager::GetGroup(const std::string& name) { return root_.GetGroup(name); }

std::string TKLDMetaDataManager::GetGroupValue(const std::string& value, const std::string& groupName) {
  return GetValue(groupName + "." + value);
}

template <typename Lookup>
std::string TKLDMetaDataManager::SubstituteWithin(const std::string& text, const char* open, char close,
                                                   Lookup lookup) {
  if (nesting_ == 0) expanded_ = 0;
  DepthGuard nesting(nesting_);
  const bool within = expanded_ <= kMaxExpandedLength;
  std::string result = Substitute(text, open, close, lookup, expanded_, kMaxExpandedLength);
  if (within && expanded_ > kMaxExpandedLength && nesting_ == 1)
    LogWarn("Metadata expansion stopped after " + std::to_string(kMaxExpandedLength) +
            " characters: the values and texts it refers to multiply each other");
  return result;
}

std::string TKLDMetaDataManager::ExpandMetadata(const std::string& text) {
  return SubstituteWithin(text, "^{", '}', [this](const std::string& name) { return GetValue(name); });
}

std::string TKLDMetaDataManager::ExpandTextCodes(const std::string& text) {
  // A value and a language text that refer to each other would recurse without end; the depth
  // bounds the chain and leaves the rest of the text visible instead.
  if (depth_ >= kMaxSubstitutionDepth) return "Recursive metadata definition: " + text;
  DepthGuard guard(depth_);
  return SubstituteWithin(text, "^[", ']', [this](const std::string& key) { return LanguageText(key); });
}

void TKLDMetaDataManager::Merge(const TKLDMetaData& list) { root_.Merge(list); }

void TKLDMetaDataManager::ListValues(std::vector<std::string>& list, const std::string& prefix) {
  auto addLines = [&list](const TKLDMetaData& group) {
    for (int i = 0; i < group.Count(); ++i) list.push_back(group.LineText(i));
  };
  if (prefix.empty()) {
    addLines(root_);
  } else if (prefix.back() == '.') {
    std::string name = prefix;
    addLines(root_.ResolveGroup(name));
  } else {
    list.push_back(prefix + "=" + GetValue(prefix));
  }
}

}  // namespace lorvane
