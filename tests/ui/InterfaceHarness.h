#pragma once
// An interface descriptor read from XML text over a catalogue of counting styles, with the UI
// manager, the action manager and the function executor wired the way the application manager
// wires them, a frame clock the test moves by hand (installed process-wide, so the screen saver
// reads it too) and a log the test reads.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "ui/ActionManager.h"
#include "ui/Functions.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/Screens.h"
#include "ui/UIManager.h"
#include "ui/UITestSupport.h"

namespace lorvane::test {

class InterfaceHarness {
 public:
  // Styles the texts may name: buttons "btn" and "btn2", captions "big", media grids "mgrid".
  explicit InterfaceHarness(const std::string& interfaceXml) {
    logger.SetEchoList(&logged);
    SetGlobalLogger(&logger);
    catalogue.Add(TKLDStyleKind::Button, "btn");
    catalogue.Add(TKLDStyleKind::Button, "btn2");
    catalogue.Add(TKLDStyleKind::Caption, "big");
    catalogue.Add(TKLDStyleKind::MediaGrid, "mgrid");
    descriptor.SetStyleCatalogue(&catalogue);
    loaded = descriptor.LoadFromText(interfaceXml);
    ui.SetDescriptorSource([this] { return &descriptor; });
    ui.SetActionManager(&actions);
    ui.SetMetaDataManager(&meta);
    actions.SetUIManager(&ui);
    actions.SetFunctions(&functions);
    actions.SetDescriptorSource([this] { return &descriptor; });
    TKLDFunctions::Context context;
    context.ui = &ui;
    context.actions = &actions;
    context.meta = &meta;
    context.timer = &timer;
    functions.SetContext(context);
  }
  ~InterfaceHarness() {
    SetGlobalLogger(nullptr);
    logger.SetEchoList(nullptr);
  }
  InterfaceHarness(const InterfaceHarness&) = delete;
  InterfaceHarness& operator=(const InterfaceHarness&) = delete;

  // One frame's update at the given time, as the frame loop runs it.
  void Frame(uint32_t now) {
    clock = now;
    timer.MarkFrameStart();
    ui.Update();
  }
  void Frame() { Frame(clock); }

  TKLDScreenLayout* Screen(const std::string& name) { return descriptor.Screens.FindScreen(name); }
  TKLDInteractiveControl* Control(const std::string& name) {
    return dynamic_cast<TKLDInteractiveControl*>(descriptor.Controls.FindControl(name));
  }
  std::string Focused() const {
    TKLDScreenLayout* screen = ui.CurrentScreen();
    return screen && screen->FocusedControl ? screen->FocusedControl->Name : "";
  }
  std::vector<std::string> StackNames() {
    std::vector<std::string> names;
    for (int i = 0; i < ui.Stack().Count(); ++i) names.push_back(ui.Stack().NameAt(i));
    return names;
  }
  // "function target parameter" of every queued item, front first; the queue is left as it is.
  std::vector<std::string> Queued() {
    std::vector<std::string> items;
    for (size_t i = 0; i < actions.Queue().Count(); ++i) {
      const TKLDActionQueueItem& item = actions.Queue().At(i);
      items.push_back(item.FunctionName + " " + item.Target + " " + item.Parameter);
    }
    return items;
  }
  int LogCount(const std::string& text) const {
    return static_cast<int>(std::count_if(logged.begin(), logged.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    }));
  }

 private:
  // Before the UI manager, whose screen saver reads the clock when it is made.
  struct GlobalTimerScope {
    explicit GlobalTimerScope(TKLDTimer* timer) { SetGlobalTimer(timer); }
    ~GlobalTimerScope() { SetGlobalTimer(nullptr); }
  };

 public:
  std::vector<std::string> logged;  // outlives the logger, which echoes into it
  TKLDLogger logger;
  uint32_t clock = 1000;
  TKLDTimer timer{[this] { return clock; }};

 private:
  GlobalTimerScope timerScope_{&timer};

 public:
  TKLDMetaDataManager meta;
  TestCatalogue catalogue;
  TKLDInterfaceDescriptor descriptor;
  TKLDActionManager actions;
  TKLDUIManager ui;
  TKLDFunctions functions;
  bool loaded = false;
};

}  // namespace lorvane::test
