#include "theme/UIObjects.h"

#include <algorithm>

#include "theme/XmlHelper.h"

namespace lorvane {

// ---------------------------------------------------------------- names

namespace {

uint32_t FoldCodePoint(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp < 0xC0) return cp;
  if (cp <= 0xDE) return cp == 0xD7 ? cp : cp + 32;
  if (cp >= 0x100 && cp <= 0x137 && cp != 0x130) return cp | 1;
  if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177) return cp | 1;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp + 1 : cp;
  if (cp == 0x386) return 0x3AC;
  if (cp >= 0x388 && cp <= 0x38A) return cp + 37;
  if (cp == 0x38C) return 0x3CC;
  if (cp == 0x38E || cp == 0x38F) return cp + 63;
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  return cp;
}

}  // namespace

std::string FoldCase(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      ++i;
      continue;
    }
    // Only two-byte sequences hold letters that fold here; everything else is copied as it is.
    if ((c & 0xE0) == 0xC0 && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      uint32_t cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      uint32_t folded = FoldCodePoint(cp);
      out += static_cast<char>(0xC0 | (folded >> 6));
      out += static_cast<char>(0x80 | (folded & 0x3F));
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
    ++i;
  }
  return out;
}

bool SameText(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

// ---------------------------------------------------------------- scaling

namespace {
const TKLDDisplayScaler* g_scaler = nullptr;
}

void SetDisplayScaler(const TKLDDisplayScaler* scaler) { g_scaler = scaler; }
const TKLDDisplayScaler* DisplayScaler() { return g_scaler; }
// Designed lengths near the integer limits would overflow as soon as two are added or scaled;
// no screen is that large, so they are held within a range whose sums still fit.
int ClampDesigned(int v) { return std::clamp(v, -kMaxDesignedLength, kMaxDesignedLength); }
int ScaleDesignedX(int x) { return ClampDesigned(g_scaler ? g_scaler->ScaleX(ClampDesigned(x)) : x); }
int ScaleDesignedY(int y) { return ClampDesigned(g_scaler ? g_scaler->ScaleY(ClampDesigned(y)) : y); }

// ---------------------------------------------------------------- TKLDUIObject

TKLDUIObject::TKLDUIObject(const std::string& name) : Name(name) {}

std::string TKLDUIObject::GetOpenTag() const {
  std::string tag = "<" + TagName + " name=\"" + EncodeXml(Name) + "\"";
  if (Ancestor) {
    if (!Description.empty() && Description != Ancestor->Description)
      tag += " description=\"" + EncodeXml(Description) + "\"";
    tag += " inherit=\"" + EncodeXml(Ancestor->Name) + "\"";
  } else if (!Description.empty()) {
    tag += " description=\"" + EncodeXml(Description) + "\"";
  }
  return tag + ">";
}

void TKLDUIObject::InheritFrom(TKLDUIObject& source) {
  Description = source.Description;
  Ancestor = &source;
}

void TKLDUIObject::SaveAsXML(std::vector<std::string>& lines) {
  WriteComment(lines);
  lines.push_back(IndentText(Depth + 1) + GetOpenTag());
  SaveXMLBody(lines);
  lines.push_back(IndentText(Depth + 1) + GetCloseTag());
}

void TKLDUIObject::SaveXMLBody(std::vector<std::string>&) {}

std::string TKLDUIObject::GetCloseTag() const { return "</" + TagName + ">"; }

void TKLDUIObject::WriteComment(std::vector<std::string>& lines) const {
  if (!Comment.empty()) WriteXmlComment(Comment, Depth + 2, lines);
}

std::string TKLDUIObject::GetReferenceTag() const {
  return "<" + TagName + " name=\"" + EncodeXml(Name) + "\"/>";
}

TKLDUIObject* TKLDUIObject::GetAncestor() const {
  if (Ancestor) return Ancestor;
  return Owner ? Owner->GetDefaultObject() : nullptr;
}

// ---------------------------------------------------------------- display objects

TKLDUIDisplayObject::TKLDUIDisplayObject(const std::string& name) : TKLDUIObject(name) {}

void TKLDUIDisplayObject::InheritFrom(TKLDUIObject& source) {
  auto& display = InheritSource<TKLDUIDisplayObject>(source);
  TKLDUIObject::InheritFrom(source);
  SetWidth(display.Width);
  SetHeight(display.Height);
}

void TKLDUIDisplayObject::BuildRenderCache(TKLDRenderTarget&) {}

void TKLDUIDisplayObject::Render(TKLDRenderTarget& control) {
  if (control.CacheDrawn() && control.CacheValid()) return;
  BuildRenderCache(control);
  control.SetCacheDrawn(true);
}

void TKLDUIDisplayObject::SetWidth(int value) {
  Width = value;
  ScaledWidth = ScaleDesignedX(value);
}

void TKLDUIDisplayObject::SetHeight(int value) {
  Height = value;
  ScaledHeight = ScaleDesignedY(value);
}

TKLDUICaptionedDisplayObject::TKLDUICaptionedDisplayObject(const std::string& name)
    : TKLDUIDisplayObject(name) {}

void TKLDUICaptionedDisplayObject::InheritFrom(TKLDUIObject& source) {
  auto& captioned = InheritSource<TKLDUICaptionedDisplayObject>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  Caption = captioned.Caption;
  SetCaptionX(captioned.CaptionX);
  SetCaptionY(captioned.CaptionY);
}

void TKLDUICaptionedDisplayObject::SetCaptionX(int value) {
  CaptionX = value;
  ScaledCaptionX = ScaleDesignedX(value);
}

void TKLDUICaptionedDisplayObject::SetCaptionY(int value) {
  CaptionY = value;
  ScaledCaptionY = ScaleDesignedY(value);
}

// ---------------------------------------------------------------- TKLDManagedObjectList

TKLDManagedObjectList::~TKLDManagedObjectList() {
  for (TKLDUIObject* object : objects_) delete object;
}

void TKLDManagedObjectList::Register(TKLDUIObject* object) {
  if (!object) return;
  if (!Contains(object)) index_[object] = objects_.insert(objects_.end(), object);
  ++object->ReferenceCount;
}

void TKLDManagedObjectList::Release(TKLDUIObject* object) {
  auto found = index_.find(object);
  if (found == index_.end()) return;
  if (object->ReferenceCount > 0) --object->ReferenceCount;
  if (object->ReferenceCount == 0) {
    objects_.erase(found->second);
    index_.erase(found);
    delete object;
  }
}

void TKLDManagedObjectList::Purge() {
  for (auto it = objects_.end(); it != objects_.begin();) {
    --it;
    if ((*it)->ReferenceCount == 0) {
      TKLDUIObject* object = *it;
      index_.erase(object);
      it = objects_.erase(it);
      delete object;
    }
  }
}

// ---------------------------------------------------------------- TKLDUIObjectList

TKLDUIObjectList::TKLDUIObjectList() = default;

TKLDUIObjectList::~TKLDUIObjectList() { Clear(); }

void TKLDUIObjectList::Acquire(TKLDUIObject* object) {
  if (ManagedObjects && object) ManagedObjects->Register(object);
}

void TKLDUIObjectList::Let(TKLDUIObject* object) {
  if (!object) return;
  // An object that outlives this list in another list must not keep pointing at it.
  bool survives = !ManagedObjects || object->ReferenceCount > 1;
  if (survives && object->Owner == this) object->Owner = nullptr;
  if (ManagedObjects) ManagedObjects->Release(object);
}

TKLDUIObject* TKLDUIObjectList::CreateObject(const std::string& name) {
  TKLDUIObject* object = ItemClass(name);
  object->Owner = this;
  Add(name, object);
  return object;
}

TKLDUIObject* TKLDUIObjectList::CreateWithInherit(const std::string& inheritName,
                                                  const std::string& name) {
  TKLDUIObject* source = inheritName.empty() ? nullptr : FindObject(inheritName);
  TKLDUIObject* object = CreateObject(name);
  if (source) object->InheritFrom(*source);
  return object;
}

TKLDUIObject* TKLDUIObjectList::FindOwn(const std::string& key) const {
  for (const Entry& entry : entries_)
    if (entry.key == key) return entry.object;
  return nullptr;
}

TKLDUIObject* TKLDUIObjectList::FindObject(const std::string& name) const {
  std::string key = FoldCase(name);
  // The hop limit keeps a mistaken cycle of parent lists from hanging a lookup.
  int hops = 0;
  for (const TKLDUIObjectList* list = this; list && hops < 64; list = list->ParentList, ++hops)
    if (TKLDUIObject* found = list->FindOwn(key)) return found;
  return nullptr;
}

void TKLDUIObjectList::ReadSectionHeader(const TKLDXMLHelper& xml) {
  std::string description = xml.GetAttribute("description");
  if (!description.empty()) Description = description;
  if (!xml.CurrentComment().empty()) Comment = xml.CurrentComment();
}

TKLDUIObject* TKLDUIObjectList::CreateFromXml(const TKLDXMLHelper& xml) {
  std::string comment = xml.CurrentComment();
  std::string description = xml.GetAttribute("description");
  TKLDUIObject* object = CreateWithInherit(xml.GetAttribute("inherit"), xml.GetAttribute("name"));
  if (!description.empty()) object->Description = description;
  if (!comment.empty()) object->Comment = comment;
  return object;
}

int TKLDUIObjectList::TotalCount() const {
  return Count() + (ParentList ? ParentList->Count() : 0);
}

TKLDUIObject* TKLDUIObjectList::Object(int index) const {
  if (index < 0) return nullptr;
  if (index < Count()) return entries_[index].object;
  if (ParentList && index - Count() < ParentList->Count())
    return ParentList->entries_[index - Count()].object;
  return nullptr;
}

int TKLDUIObjectList::IndexOf(const std::string& name) const {
  std::string key = FoldCase(name);
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].key == key) return static_cast<int>(i);
  return -1;
}

bool TKLDUIObjectList::Contains(const TKLDUIObject* object) const {
  for (const Entry& entry : entries_)
    if (entry.object == object) return true;
  if (ParentList)
    for (const Entry& entry : ParentList->entries_)
      if (entry.object == object) return true;
  return false;
}

TKLDUIObject* TKLDUIObjectList::GetDefaultObject() {
  if (!DefaultObject) DefaultObject.reset(ItemClass(""));
  return DefaultObject.get();
}

void TKLDUIObjectList::Add(const std::string& name, TKLDUIObject* object) {
  Insert(Count(), name, object);
}

void TKLDUIObjectList::Insert(int index, const std::string& name, TKLDUIObject* object) {
  if (index < 0 || index > Count()) throw TKLDException("List index out of bounds (" + std::to_string(index) + ")");
  entries_.insert(entries_.begin() + index, Entry{name, FoldCase(name), object});
  Acquire(object);
}

void TKLDUIObjectList::SetObject(int index, TKLDUIObject* object) {
  Entry& entry = entries_.at(index);
  if (entry.object == object) return;
  TKLDUIObject* old = entry.object;
  entry.object = object;
  Let(old);
  Acquire(object);
}

void TKLDUIObjectList::Delete(int index) {
  if (index < 0 || index >= Count()) throw TKLDException("List index out of bounds (" + std::to_string(index) + ")");
  TKLDUIObject* object = entries_[index].object;
  entries_.erase(entries_.begin() + index);
  Let(object);
}

void TKLDUIObjectList::Clear() {
  try {
    for (Entry& entry : entries_) Let(entry.object);
    if (ManagedObjects) ManagedObjects->Purge();
  } catch (...) {
    // The list must end up empty whatever a freed object did.
  }
  entries_.clear();
}

void TKLDUIObjectList::Assign(const TKLDUIObjectList& source) {
  if (&source == this) return;
  Clear();
  ManagedObjects = source.ManagedObjects;
  for (const Entry& entry : source.entries_) Add(entry.name, entry.object);
}

std::string TKLDUIObjectList::GetListOpenTag() const {
  if (Description.empty()) return "<" + ListName + ">";
  return "<" + ListName + " description=\"" + EncodeXml(Description) + "\">";
}

std::string TKLDUIObjectList::GetListCloseTag() const { return "</" + ListName + ">"; }

void TKLDUIObjectList::SaveAsXML(std::vector<std::string>& lines) {
  GetDefaultObject();
  if (entries_.empty()) return;
  if (Depth == 0) lines.emplace_back();
  if (!Comment.empty()) WriteXmlComment(Comment, Depth + 1, lines);
  lines.push_back(IndentText(Depth) + GetListOpenTag());
  if (Depth == 0) lines.emplace_back();
  for (Entry& entry : entries_) {
    if (!entry.object) continue;
    entry.object->Depth = Depth;
    entry.object->SaveAsXML(lines);
    if (SpaceObjects) lines.emplace_back();
  }
  if (!SpaceObjects && Depth == 0) lines.emplace_back();
  lines.push_back(IndentText(Depth) + GetListCloseTag());
  if (Depth == 0) lines.emplace_back();
}

TKLDUIDisplayObjectList::TKLDUIDisplayObjectList() {
  ItemClass = &CreateUIObject<TKLDUIDisplayObject>;
}

std::string XmlAttribute(const std::string& name, const std::string& value) {
  return " " + name + "=\"" + EncodeXml(value) + "\"";
}

std::string SelfClosingTag(const TKLDUIObject& object, const std::string& attributes) {
  std::string tag = object.GetOpenTag();
  tag.pop_back();  // the ">"
  return tag + attributes + "/>";
}

std::string SelfClosingTagAfterName(const TKLDUIObject& object, const std::string& attributes) {
  std::string tag = object.GetOpenTag();
  tag.pop_back();
  // The name is escaped, so its value holds no quote of its own.
  size_t start = tag.find(" name=\"");
  size_t end = start == std::string::npos ? std::string::npos : tag.find('"', start + 7);
  if (end == std::string::npos) return tag + attributes + "/>";
  return tag.insert(end + 1, attributes) + "/>";
}

}  // namespace lorvane
