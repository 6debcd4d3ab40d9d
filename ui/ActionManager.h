#pragma once
// Keys and program events become action names; action names queue function calls on the
// focused control, the current screen and the global actions; the queue runs once a frame.
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "ui/Actions.h"
#include "ui/KeyBindings.h"

namespace lorvane {

class TKLDFunctions;
class TKLDInterfaceDescriptor;
class TKLDMacro;
class TKLDUIManager;

class TKLDActionQueue {
 public:
  void Append(const TKLDActionQueueItem& item) { items_.push_back(item); }
  bool Empty() const { return items_.empty(); }
  size_t Count() const { return items_.size(); }
  const TKLDActionQueueItem& Front() const { return items_.front(); }
  const TKLDActionQueueItem& At(size_t i) const { return items_[i]; }
  void PopFront() { items_.pop_front(); }
  void PushFront(const TKLDActionQueueItem& item) { items_.push_front(item); }
  void Clear() { items_.clear(); }

 private:
  std::deque<TKLDActionQueueItem> items_;
};

class TKLDActionManager {
 public:
  static constexpr const char* kFileName = "KeyBindings.xml";
  // A macro that keeps queuing itself without a "delay" would never let a frame end.
  static constexpr int kMaxItemsPerFrame = 10000;

  using DescriptorSource = std::function<TKLDInterfaceDescriptor*()>;

  TKLDActionManager();
  ~TKLDActionManager();

  // Reads folder + "KeyBindings.xml"; a missing file leaves no profiles (no key does anything).
  void LoadKeyBindings(const std::string& configFolder);
  void SetPrimaryProfile(const std::string& name);
  void SetNativeProfile(const std::string& name);
  TKLDKeyProfile* PrimaryProfile() const { return primary_; }
  TKLDKeyProfile* NativeProfile() const { return native_; }
  TKLDKeyProfileList& Profiles() { return profiles_; }

  bool HandleKey(int keyCode);
  bool ProcessAction(const std::string& name);
  // Queues every action of that name in the list (or, when it has none, its parent list);
  // true when one of them was final.
  bool Fire(const TKLDActionList& list, const std::string& name);
  bool EnqueueAction(const TKLDAction& action);
  bool RunMacro(const TKLDMacro& macro);
  void ProcessQueue();
  bool HasQueuedActions() const { return !queue_.Empty(); }
  TKLDActionQueue& Queue() { return queue_; }

  // Collaborators, set by the owner (the application manager, or a test).
  void SetUIManager(TKLDUIManager* ui) { ui_ = ui; }
  void SetFunctions(TKLDFunctions* functions) { functions_ = functions; }
  void SetDescriptorSource(DescriptorSource source) { descriptor_ = std::move(source); }
  TKLDInterfaceDescriptor* Descriptor() const { return descriptor_ ? descriptor_() : nullptr; }

 private:
  TKLDActionQueue queue_;
  TKLDKeyProfileList profiles_;
  TKLDKeyBindingParser parser_;
  TKLDKeyProfile* primary_ = nullptr;
  TKLDKeyProfile* native_ = nullptr;
  TKLDUIManager* ui_ = nullptr;
  TKLDFunctions* functions_ = nullptr;
  DescriptorSource descriptor_;
};

}  // namespace lorvane
