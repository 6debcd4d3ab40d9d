#pragma once
// Base of every theme object and of every named list of them.
//
// A kind of theme object derives from TKLDUIObject (or TKLDUIDisplayObject when drawn), sets
// TagName in its constructor, extends InheritFrom (call the base first; take the source with
// InheritSource<T>) and writes its properties in SaveXMLBody, omitting values equal to
// GetAncestor()'s. Its list derives from TKLDUIObjectList and in its constructor sets ListName,
// ItemClass = &CreateUIObject<TKLDMyThing>, ManagedObjects = &ManagedObjectsOf<TKLDMyThingList>()
// and SpaceObjects. A loader calls list.ReadSectionHeader(xml) on reaching the section element
// and list.CreateFromXml(xml) on each object element (name, description, inherit and comment
// handled), then assigns the properties it found.

#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/KLDTypes.h"

namespace lorvane {

class TKLDUIObject;
class TKLDUIObjectList;
class TKLDManagedObjectList;
class TKLDXMLHelper;
class TKLDCaption;  // caption styles, theme/Captions.h

// A list's "item class": makes a new object of that class with the given name.
using TKLDUIObjectClass = TKLDUIObject* (*)(const std::string& name);
template <class T>
TKLDUIObject* CreateUIObject(const std::string& name) {
  return new T(name);
}

// Names are compared ignoring letter case; FoldCase gives the form they are compared in
// (Latin, Greek and Cyrillic letters folded; everything else unchanged).
std::string FoldCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);

class TKLDUIObject {
 public:
  explicit TKLDUIObject(const std::string& name);
  virtual ~TKLDUIObject() = default;
  TKLDUIObject(const TKLDUIObject&) = delete;
  TKLDUIObject& operator=(const TKLDUIObject&) = delete;

  virtual std::string GetOpenTag() const;
  // Copies source's properties and records it as Ancestor. Raises TKLDException
  // "Invalid class typecast" when source is not of this object's class (see InheritSource).
  virtual void InheritFrom(TKLDUIObject& source);
  virtual void SaveAsXML(std::vector<std::string>& lines);
  virtual void SaveXMLBody(std::vector<std::string>& lines);

  std::string GetCloseTag() const;
  void WriteComment(std::vector<std::string>& lines) const;
  // <TAG name="NAME"/>, how other objects refer to this one when written.
  std::string GetReferenceTag() const;
  // What values are compared against when writing: Ancestor, else the owner's default object.
  TKLDUIObject* GetAncestor() const;

  std::string Name;
  std::string Description;
  std::string Comment;
  TKLDUIObject* Ancestor = nullptr;  // not owned
  std::string TagName = "Undefined";
  int Depth = 0;
  int ReferenceCount = 0;
  TKLDUIObjectList* Owner = nullptr;  // not owned; the list that created the object
};

// The source of an InheritFrom override as the class T, or TKLDException "Invalid class typecast".
template <class T>
T& InheritSource(TKLDUIObject& source) {
  T* typed = dynamic_cast<T*>(&source);
  if (!typed) throw TKLDException("Invalid class typecast");
  return *typed;
}

// Designed units to display pixels. The screen installs itself; until then (and in tests
// that install nothing) values pass unchanged.
class TKLDDisplayScaler {
 public:
  virtual ~TKLDDisplayScaler() = default;
  virtual int ScaleX(int x) const = 0;
  virtual int ScaleY(int y) const = 0;
};
void SetDisplayScaler(const TKLDDisplayScaler* scaler);
const TKLDDisplayScaler* DisplayScaler();
// The largest designed or display length kept: larger ones from a theme are held at it.
constexpr int kMaxDesignedLength = 1 << 20;
int ScaleDesignedX(int x);
int ScaleDesignedY(int y);

// What a display object needs of the control it draws for: the control's cache-built flag and
// whether the control's render cache still holds its image. TKLDAbstractControl implements it;
// styles reach the control itself with static_cast<TKLDAbstractControl&>(control).
class TKLDRenderTarget {
 public:
  virtual ~TKLDRenderTarget() = default;
  virtual bool CacheDrawn() const = 0;
  virtual void SetCacheDrawn(bool drawn) = 0;
  virtual bool CacheValid() const = 0;
};

class TKLDUIDisplayObject : public TKLDUIObject {
 public:
  explicit TKLDUIDisplayObject(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  virtual void BuildRenderCache(TKLDRenderTarget& control);
  // Rebuilds the control's cache when it is not drawn or has lost its image.
  virtual void Render(TKLDRenderTarget& control);

  void SetWidth(int value);
  void SetHeight(int value);

  int ScaledWidth = 0;
  int ScaledHeight = 0;
  int Width = 0;
  int Height = 0;
};

class TKLDUICaptionedDisplayObject : public TKLDUIDisplayObject {
 public:
  explicit TKLDUICaptionedDisplayObject(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SetCaptionX(int value);
  void SetCaptionY(int value);

  TKLDCaption* Caption = nullptr;  // not owned
  int ScaledCaptionX = 0;
  int ScaledCaptionY = 0;
  int CaptionX = 0;
  int CaptionY = 0;
};

// Counts the registrations of objects of one list class and frees an object when the last list
// holding it lets it go. One per list class: ManagedObjectsOf<TKLDColourList>().
class TKLDManagedObjectList {
 public:
  TKLDManagedObjectList() = default;
  ~TKLDManagedObjectList();  // frees every object still present
  TKLDManagedObjectList(const TKLDManagedObjectList&) = delete;
  TKLDManagedObjectList& operator=(const TKLDManagedObjectList&) = delete;

  void Register(TKLDUIObject* object);
  void Release(TKLDUIObject* object);
  void Purge();
  int Count() const { return static_cast<int>(objects_.size()); }
  bool Contains(const TKLDUIObject* object) const { return index_.count(object) != 0; }

 private:
  std::list<TKLDUIObject*> objects_;
  std::unordered_map<const TKLDUIObject*, std::list<TKLDUIObject*>::iterator> index_;
};

template <class ListClass>
TKLDManagedObjectList& ManagedObjectsOf() {
  static TKLDManagedObjectList registry;
  return registry;
}

class TKLDUIObjectList {
 public:
  TKLDUIObjectList();
  virtual ~TKLDUIObjectList();
  TKLDUIObjectList(const TKLDUIObjectList&) = delete;
  TKLDUIObjectList& operator=(const TKLDUIObjectList&) = delete;

  // Makes an ItemClass object named name, owned by this list, and appends it.
  TKLDUIObject* CreateObject(const std::string& name);
  // CreateObject, then InheritFrom the object inheritName finds (ignored when it finds none).
  TKLDUIObject* CreateWithInherit(const std::string& inheritName, const std::string& name);
  // First own entry of that name (any letter case), else the parent list's; none otherwise.
  TKLDUIObject* FindObject(const std::string& name) const;
  template <class T>
  T* FindAs(const std::string& name) const {
    return dynamic_cast<T*>(FindObject(name));
  }

  // Loader conventions: the section element's description and preceding comment ...
  void ReadSectionHeader(const TKLDXMLHelper& xml);
  // ... and an object element's name, description, inherit and comment. The reader must be
  // positioned on the object element.
  TKLDUIObject* CreateFromXml(const TKLDXMLHelper& xml);

  int Count() const { return static_cast<int>(entries_.size()); }
  int TotalCount() const;
  // Own entries first, then the parent list's own entries; none outside.
  TKLDUIObject* Object(int index) const;
  const std::string& NameAt(int index) const { return entries_.at(index).name; }
  int IndexOf(const std::string& name) const;
  bool Contains(const TKLDUIObject* object) const;
  TKLDUIObject* GetDefaultObject();

  void Add(const std::string& name, TKLDUIObject* object);
  void Insert(int index, const std::string& name, TKLDUIObject* object);
  void SetObject(int index, TKLDUIObject* object);
  void Delete(int index);
  void Clear();
  // Shares source's own objects (and its registry) with this list.
  void Assign(const TKLDUIObjectList& source);

  std::string GetListOpenTag() const;
  std::string GetListCloseTag() const;
  virtual void SaveAsXML(std::vector<std::string>& lines);

  std::string Description;
  std::string Comment;
  TKLDUIObjectList* ParentList = nullptr;  // not owned
  TKLDUIObjectClass ItemClass = &CreateUIObject<TKLDUIObject>;
  std::string ListName = "UndefinedList";
  int Depth = 0;
  TKLDManagedObjectList* ManagedObjects = nullptr;  // not owned
  std::unique_ptr<TKLDUIObject> DefaultObject;
  bool SpaceObjects = true;

 private:
  struct Entry {
    std::string name;
    std::string key;  // FoldCase(name)
    TKLDUIObject* object;
  };
  void Acquire(TKLDUIObject* object);
  void Let(TKLDUIObject* object);
  TKLDUIObject* FindOwn(const std::string& key) const;

  std::vector<Entry> entries_;
};

class TKLDUIDisplayObjectList : public TKLDUIObjectList {
 public:
  TKLDUIDisplayObjectList();
};

// An object written as one self-closing element: the start tag with `attributes` (each with its
// leading space) added before "/>".
std::string SelfClosingTag(const TKLDUIObject& object, const std::string& attributes);
// The same with `attributes` right after "name", before "description" and "inherit".
std::string SelfClosingTagAfterName(const TKLDUIObject& object, const std::string& attributes);
// ` name="VALUE"` with the value escaped.
std::string XmlAttribute(const std::string& name, const std::string& value);

}  // namespace lorvane
