#include "ui/Functions.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaManager.h"
#include "metadata/MetaData.h"
#include "theme/ThemeManager.h"
#include "ui/ActionManager.h"
#include "ui/Animation.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/Macros.h"
#include "ui/Screens.h"
#include "ui/UIControls.h"
#include "ui/UIManager.h"

namespace lorvane {

namespace {

TKLDFunctions* g_functions = nullptr;

// The words between the name and the raw target in "Performing unsupported function: " errors.
// No function takes a text target, and the program has always spelt that phrase this way.
const char* KindPhrase(TKLDTargetKind kind) {
  switch (kind) {
    case TKLDTargetKind::Screen: return " to screen ";
    case TKLDTargetKind::Descriptor: return " to descriptor ";
    case TKLDTargetKind::Control: return " to control ";
    case TKLDTargetKind::Sound: return " to sound ";
    case TKLDTargetKind::Value: return " to value ";
    case TKLDTargetKind::Meta: return " to meta ";
    case TKLDTargetKind::Macro: return " to macro ";
    case TKLDTargetKind::Playlist: return " to playlist ";
    default: return " to unkown target type ";
  }
}

[[noreturn]] void Unsupported(const TKLDFunction& function, const std::string& middle) {
  throw TKLDException("Performing unsupported function: " + function.Name + middle + " (" +
                      function.Description + ")");
}

// Functions whose subsystem has not been built into this program yet: they are recognised, so a
// theme that declares them loads and runs, and they say in the log why nothing happened.
void WarnNotAvailable(const std::string& name, const std::string& subsystem) {
  LogWarn("Function " + name + " is not available yet: no " + subsystem);
}

bool IsMediaFunction(const std::string& name) {
  static const char* const kNames[] = {"play",    "pause",   "playpause", "stop",      "ffwd",    "rwnd", "fskip",
                                       "bskip",   "clearpl", "addtopl",   "insertpl", "replacepl", "appendpl",
                                       "subtitle", "audiotrack"};
  for (const char* known : kNames)
    if (name == known) return true;
  return false;
}

// A whole decimal number; anything else (empty, letters, out of range, negative) waits 0 ms.
uint32_t DelayMilliseconds(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) return 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  if (*first == '+') ++first;
  long long value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || value < 0) return 0;
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

bool FocusDirection(const std::string& name, TKLDDirection& direction) {
  if (name == "focusup") direction = TKLDDirection::Up;
  else if (name == "focusdn") direction = TKLDDirection::Down;
  else if (name == "focuslf") direction = TKLDDirection::Left;
  else if (name == "focusrt") direction = TKLDDirection::Right;
  else return false;
  return true;
}

bool PageDirection(const std::string& name, TKLDDirection& direction) {
  if (name == "pageup") direction = TKLDDirection::Up;
  else if (name == "pagedn") direction = TKLDDirection::Down;
  else if (name == "pagelf") direction = TKLDDirection::Left;
  else if (name == "pagert") direction = TKLDDirection::Right;
  else return false;
  return true;
}

}  // namespace

TKLDFunctions* FunctionExecutor() { return g_functions; }
void SetFunctionExecutor(TKLDFunctions* functions) { g_functions = functions; }

TKLDMetaDataManager* TKLDFunctions::Meta() const {
  return context_.meta ? context_.meta : GlobalMetaDataManager();
}

TKLDTimer* TKLDFunctions::Clock() const { return context_.timer ? context_.timer : Timer(); }

TKLDInterfaceDescriptor* TKLDFunctions::Descriptor() const {
  if (context_.ui)
    if (TKLDInterfaceDescriptor* descriptor = context_.ui->Descriptor()) return descriptor;
  return context_.actions ? context_.actions->Descriptor() : nullptr;
}

bool TKLDFunctions::Execute(const TKLDFunction& function) {
  if (function.TargetKind != TKLDTargetKind::None)
    throw TKLDException("Target name expected for function " + function.Name);

  const std::string& name = function.Name;
  TKLDDirection direction = TKLDDirection::Up;
  if (name == "none") {
  } else if (name == "quit") {
    if (context_.quit) context_.quit();
    else LogWarn("Function quit has no application to close");
  } else if (name == "restart") {
    if (context_.restart) context_.restart();
    else LogWarn("Function restart has no application to restart");
  } else if (name == "incvol" || name == "decvol" || name == "mute") {
    if (!context_.media) WarnNotAvailable(name, "media manager");
    else if (name == "incvol") context_.media->VolumeUp();
    else if (name == "decvol") context_.media->VolumeDown();
    else context_.media->ToggleMute();
  } else if (name == "diag") {
    if (context_.ui) context_.ui->SetShowDiagnostics(!context_.ui->ShowDiagnostics());
  } else if (FocusDirection(name, direction)) {
    MoveFocus(direction);
  } else {
    Unsupported(function, "");
  }
  return true;
}

bool TKLDFunctions::ExecuteWithTarget(const TKLDFunction& function, const std::string& target,
                                      const std::string& parameter) {
  if (function.TargetKind == TKLDTargetKind::None)
    throw TKLDException("No target name expected for function " + function.Name);
  if (target.empty()) throw TKLDException("Empty target name passed to function " + function.Name);

  TKLDMetaDataManager* meta = Meta();
  const std::string t = meta ? meta->ExpandMetadata(target) : target;
  const std::string p = meta ? meta->ExpandMetadata(parameter) : parameter;

  bool handled = false;
  bool done = true;
  switch (function.TargetKind) {
    case TKLDTargetKind::Screen: handled = ScreenFunction(function.Name, t); break;
    case TKLDTargetKind::Descriptor:
      if (function.Name == "link") {
        handled = true;
        if (context_.ui) context_.ui->LinkDescriptorSet(t);
      }
      break;
    case TKLDTargetKind::Control: handled = ControlFunction(function.Name, t, p); break;
    case TKLDTargetKind::Sound:
      if (function.Name == "sound") {
        handled = true;
        // Unknown sounds are not an error: a theme may leave any effect out.
        if (context_.themes)
          if (TKLDSound* sound = context_.themes->Audio().Sounds.FindSound(t)) sound->Play();
      }
      break;
    case TKLDTargetKind::Value:
      if (function.Name == "delay") {
        handled = true;
        done = Delay(t);
      }
      break;
    case TKLDTargetKind::Meta: handled = MetaFunction(function.Name, t, p, parameter); break;
    case TKLDTargetKind::Macro:
      if (function.Name == "macro") {
        handled = true;
        RunMacro(t);
      }
      break;
    case TKLDTargetKind::Playlist:
      if (IsMediaFunction(function.Name)) {
        handled = true;
        MediaFunction(function.Name, t, p);
      }
      break;
    default: break;  // no function takes a text target
  }
  if (!handled) Unsupported(function, KindPhrase(function.TargetKind) + target);
  return done;
}

bool TKLDFunctions::ScreenFunction(const std::string& name, const std::string& t) {
  if (name != "jump" && name != "overlay" && name != "close") return false;
  TKLDUIManager* ui = context_.ui;
  TKLDInterfaceDescriptor* descriptor = Descriptor();
  if (!ui || !descriptor) return true;
  // Only names of screens are acted on; the UI manager's own operations would otherwise drop
  // the current screen for a misspelt name.
  TKLDScreenLayout* screen = descriptor->Screens.FindScreen(t);
  if (!screen) return true;
  if (name == "jump") ui->ShowScreen(screen);
  else if (name == "overlay") ui->OverlayScreen(screen->Name);
  else ui->CloseScreen(screen->Name);
  return true;
}

bool TKLDFunctions::ControlFunction(const std::string& name, const std::string& t, const std::string& p) {
  TKLDDirection direction = TKLDDirection::Up;
  const bool known = name == "press" || name == "unpress" || name == "cancel" || name == "focus" ||
                     name == "show" || name == "hide" || name == "setstyle" || name == "refresh" ||
                     name == "animatecontrol" || PageDirection(name, direction);
  if (!known) return false;

  TKLDControl* control = context_.ui ? context_.ui->FindControl(t, true) : nullptr;
  if (!control && !context_.ui)
    if (TKLDInterfaceDescriptor* descriptor = Descriptor()) control = descriptor->Controls.FindControl(t);
  auto* interactive = dynamic_cast<TKLDInteractiveControl*>(control);

  if (name == "press" || name == "unpress") {
    if (!interactive) LogWarn("Can't change pressed state of non-interactive control: " + t);
    else if (name == "press") interactive->Press();
    else interactive->Unpress();
  } else if (name == "cancel") {
    if (!interactive) LogWarn("Can't invoke cancel on non-interactive control: " + t);
    else interactive->Cancel();
  } else if (name == "focus") {
    if (!interactive) LogWarn("Can't change focus to non-interactive control: " + t);
    else if (TKLDScreenLayout* screen = context_.ui ? context_.ui->CurrentScreen() : nullptr)
      context_.ui->SetFocus(*screen, interactive);
  } else if (name == "show" || name == "hide") {
    if (!control) LogWarn("Can't change visibility of unknown control: " + t);
    else control->SetVisible(name == "show");
  } else if (name == "setstyle") {
    if (!control) LogWarn("Can't change style of unknown control: " + t);
    else if (!control->SetStyle(p)) LogWarn("Can't change control " + t + " to unknown style: " + p);
  } else if (name == "refresh") {
    if (!control) LogWarn("Can't refresh contents of unknown control: " + t);
    else control->Invalidate();
  } else if (name == "animatecontrol") {
    TKLDInterfaceDescriptor* descriptor = Descriptor();
    TKLDAnimator* animator = descriptor ? descriptor->Animators.FindAnimator(p) : nullptr;
    // The control is looked for by the engine in every frame, so a name nothing knows yet is
    // not refused here.
    if (!animator) LogWarn("Can't animate control using unknown animator: " + p);
    else if (context_.animation) context_.animation->Animate(t, animator);
    else WarnNotAvailable(name, "animation engine");
  } else {  // paging
    if (!control) LogWarn("Can't page scroll unknown control: " + t);
    else control->Page(direction);
  }
  return true;
}

bool TKLDFunctions::MetaFunction(const std::string& name, const std::string& t, const std::string& p,
                                 const std::string& rawParameter) {
  if (name == "loadmeta" || name == "savemeta") {
    const auto& group = name == "loadmeta" ? context_.loadGroup : context_.saveGroup;
    if (group) group(t);
    else WarnNotAvailable(name, "settings manager (group " + t + ")");
    return true;
  }
  if (name != "setmeta" && name != "nextmeta" && name != "prevmeta") return false;
  TKLDMetaDataManager* meta = Meta();
  if (!meta) {
    WarnNotAvailable(name, "metadata manager");
    return true;
  }
  if (name == "setmeta") meta->SetValue(t, rawParameter);
  else StepMetaValue(*meta, t, p, name == "nextmeta");
  return true;
}

void TKLDFunctions::RunMacro(const std::string& t) {
  TKLDInterfaceDescriptor* descriptor = Descriptor();
  TKLDMacro* macro = descriptor ? descriptor->GlobalMacros.FindMacro(t) : nullptr;
  if (!macro) return;  // unknown macros are not an error
  if (context_.actions) context_.actions->RunMacro(*macro);
  else LogWarn("Can't run macro " + t + ": no action manager");
}

void TKLDFunctions::MediaFunction(const std::string& name, const std::string& t, const std::string& p) {
  TKLDMediaManager* media = context_.media;
  if (!media) {
    WarnNotAvailable(name, "media manager");
    return;
  }
  const int stream = t == "secondary" ? 1 : 0;
  // "play" with the parameter "resume": a film starts where it was stopped last.
  if (name == "play" && p == "resume") media->ResumeNextFilm();
  if (name == "play") media->Play(t);
  else if (name == "pause") media->Pause(t);
  else if (name == "playpause") media->TogglePause(t);
  else if (name == "stop") media->Stop(t);
  else if (name == "fskip") media->Next(t);
  else if (name == "bskip") media->Previous(t);
  else if (name == "ffwd") media->SkipForward(t);
  else if (name == "rwnd") media->SkipBack(t);
  else if (name == "subtitle") media->NextSubtitle(t);
  else if (name == "audiotrack") media->NextAudioTrack(t);
  else if (name == "clearpl") media->ClearPlaylist(stream);
  else if (name == "appendpl") media->EnqueueSelection(stream);
  else media->ReplacePlaylist(stream);  // "addtopl", "insertpl", "replacepl"
}

bool TKLDFunctions::Delay(const std::string& t) {
  TKLDTimer* clock = Clock();
  if (!clock) {
    // Without a frame clock the wait could never end; better to let the queue run on.
    LogWarn("Function delay has no frame clock: not waiting");
    delayPending_ = false;
    return true;
  }
  if (!delayPending_) {
    delayStart_ = clock->Now();
    delayPending_ = true;
    return false;
  }
  // Elapsed also ends the wait when the clock has wrapped below the start.
  if (!clock->Elapsed(delayStart_, DelayMilliseconds(t))) return false;
  delayPending_ = false;
  return true;
}

void TKLDFunctions::MoveFocus(TKLDDirection direction) {
  TKLDUIManager* ui = context_.ui;
  TKLDScreenLayout* screen = ui ? ui->CurrentScreen() : nullptr;
  if (!screen) return;
  TKLDInteractiveControl* from = screen->FocusedControl;
  if (from && from->Navigate(direction)) return;  // a grid moved its own selection

  screen->RebuildFocusable();
  if (screen->FocusedControl != from) {
    // The rebuild moved the focus away from a control that can no longer have it, without
    // telling either control; hand it over properly so that flags and focus events agree.
    TKLDInteractiveControl* fallback = screen->FocusedControl;
    screen->FocusedControl = from;
    ui->SetFocus(*screen, fallback);
  }
  if (from) {
    const std::string& named = from->NavigateTarget(direction);
    if (!named.empty()) {
      for (TKLDInteractiveControl* candidate : screen->Focusable)
        if (SameText(candidate->Name, named)) {
          ui->SetFocus(*screen, candidate);
          break;
        }
    } else {
      TKLDInteractiveControl* best = nullptr;
      long long bestScore = 0;
      for (TKLDInteractiveControl* candidate : screen->Focusable) {
        if (candidate == from) continue;
        const long long cx = candidate->AbsoluteX, cy = candidate->AbsoluteY;
        const long long fx = from->AbsoluteX, fy = from->AbsoluteY;
        bool beyond = false;
        switch (direction) {
          case TKLDDirection::Up: beyond = cy < fy; break;
          case TKLDDirection::Down: beyond = cy > fy; break;
          case TKLDDirection::Left: beyond = cx < fx; break;
          case TKLDDirection::Right: beyond = cx > fx; break;
        }
        if (!beyond) continue;
        const long long dx = std::llabs(cx - fx), dy = std::llabs(cy - fy);
        const bool vertical = direction == TKLDDirection::Up || direction == TKLDDirection::Down;
        const long long score = vertical ? dy + 2 * dx : dx + 2 * dy;
        // Strictly lower: on equal scores the control earlier in the list keeps the lead.
        if (!best || score < bestScore) {
          best = candidate;
          bestScore = score;
        }
      }
      if (best) ui->SetFocus(*screen, best);
    }
  }
  if (!screen->FocusedControl && !screen->Focusable.empty()) ui->SetFocus(*screen, screen->Focusable.front());
}

}  // namespace lorvane
