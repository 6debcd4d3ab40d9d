// Function dispatch over the default theme: each three lines are a function name, its target and
// its parameter, run as the action queue runs them, with a frame's update after each. Names the
// theme does not declare are tried with the target kind the target's first byte picks.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "theme/ThemeManager.h"
#include "ui/ActionManager.h"
#include "ui/Functions.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/UIManager.h"

using namespace lorvane;

namespace {
uint32_t gNow = 1000;

TKLDThemeManager& Themes() {
  static TKLDThemeManager* themes = [] {
    static TKLDTimer timer{[] { return gNow; }};
    SetGlobalTimer(&timer);
    auto* manager = new TKLDThemeManager();
    std::string folder = fuzz::DefaultThemeFolder();
    folder.resize(folder.size() - 3);  // the themes folder: "themes/tv/" less "tv/"
    manager->SetThemesDirectory(folder);
    if (!manager->LoadTheme("tv")) std::abort();
    return manager;
  }();
  return *themes;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDThemeManager& themes = Themes();
  TKLDMetaDataManager meta;
  TKLDActionManager actions;
  TKLDUIManager ui;
  TKLDFunctions functions;
  auto descriptor = [&themes] { return &themes.Interface(); };
  actions.SetDescriptorSource(descriptor);
  actions.SetUIManager(&ui);
  actions.SetFunctions(&functions);
  ui.SetDescriptorSource(descriptor);
  ui.SetThemeManager(&themes);
  ui.SetActionManager(&actions);
  ui.SetMetaDataManager(&meta);
  TKLDFunctions::Context context;
  context.ui = &ui;
  context.actions = &actions;
  context.meta = &meta;
  context.quit = [] {};
  context.restart = [] {};
  functions.SetContext(context);
  SetFunctionExecutor(&functions);

  try {
    ui.Start();
    ui.Update();
    std::vector<std::string> lines = fuzz::Lines(fuzz::Text(data, size));
    for (size_t i = 0; i + 2 < lines.size() && i < 3 * 32; i += 3) {
      const std::string& target = lines[i + 1];
      TKLDFunction own(lines[i]);
      const TKLDFunction* function = themes.Interface().Functions.FindFunction(lines[i]);
      if (!function) {
        own.TargetKind = static_cast<TKLDTargetKind>((target.empty() ? 0 : static_cast<uint8_t>(target[0])) % 10);
        function = &own;
      }
      try {
        if (function->TargetKind == TKLDTargetKind::None) functions.Execute(*function);
        else functions.ExecuteWithTarget(*function, target, lines[i + 2]);
      } catch (const TKLDException&) {
      }
      gNow += 250;
      ui.Update();
    }
  } catch (const TKLDException&) {
  }
  SetFunctionExecutor(nullptr);
  // A link of this input must not reach the next one.
  if (!themes.LinkedName().empty()) themes.UnlinkDescriptors();
  return 0;
}
