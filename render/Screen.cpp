#include "render/Screen.h"

#include <cfenv>
#include <cmath>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "render/Canvas.h"
#include "render/Viewport.h"

namespace lorvane {

namespace {
TKLDScreen* g_screen = nullptr;

// round(value × screen ÷ design) with halves to even.
int Scale(int value, int screen, int design) {
  if (design == 0) return value;
  long double scaled = static_cast<long double>(static_cast<long long>(value) * screen) / design;
  return static_cast<int>(std::nearbyintl(scaled));  // the default rounding mode is to nearest, ties to even
}
}  // namespace

TKLDScreen* Screen() { return g_screen; }
void SetGlobalScreen(TKLDScreen* screen) { g_screen = screen; }

std::string TKLDDisplayMode::DisplayText() const {
  return std::to_string(width_) + " x " + std::to_string(height_);
}

TKLDDisplayMode* TKLDDisplayModes::AddMode(int width, int height, int bits) {
  if (TKLDDisplayMode* existing = FindMode(width, height, bits)) return existing;
  modes_.push_back(std::make_unique<TKLDDisplayMode>(width, height, bits));
  return modes_.back().get();
}

TKLDDisplayMode* TKLDDisplayModes::FindMode(int width, int height, int bits) const {
  for (const auto& mode : modes_)
    if (mode->Width() == width && mode->Height() == height && mode->BitsPerPixel() == bits) return mode.get();
  return nullptr;
}

TKLDDisplayMode* TKLDDisplayModes::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return modes_[index].get();
}

TKLDScreen::TKLDScreen(TKLDDirectXHelper* helper) : helper_(helper) { helper_->SetDisplayModes(&modes_); }

TKLDScreen::~TKLDScreen() {
  Shutdown();
  if (g_screen == this) g_screen = nullptr;
}

void TKLDScreen::Prepare() {
  if (!form_) {
    auto form = std::make_unique<TKLDScreenForm>(&hooks_);
    std::string error;
    if (!form->Create(error)) throw TKLDException("Failed to create the screen window: " + error);
    form_ = std::move(form);
  }
  if (!followed_) {
    // The shared draw buffer and the screen's viewport take the screen's size from here on.
    FollowScreenSize(*this);
    followed_ = true;
  }
  ApplySize();
}

void TKLDScreen::ApplySize() {
  if (form_) form_->SetClientSize(screenWidth_, screenHeight_);
  for (auto& listener : sizeListeners_) listener(screenWidth_, screenHeight_);
  if (screenHeight_ != 0) aspectRatio_ = static_cast<float>(screenWidth_) / static_cast<float>(screenHeight_);
  helper_->SetDisplaySize(screenWidth_, screenHeight_);
}

void TKLDScreen::SetSize(int width, int height) {
  if (width == screenWidth_ && height == screenHeight_) return;
  screenWidth_ = width;
  screenHeight_ = height;
  ApplySize();
}

void TKLDScreen::AddSizeListener(std::function<void(int, int)> listener) {
  sizeListeners_.push_back(std::move(listener));
}

void TKLDScreen::SetDesignSize(int width, int height) {
  designWidth_ = width;
  designHeight_ = height;
}

void TKLDScreen::Open() {
  helper_->SetAdapter(static_cast<int>(displayAdapter_));
  helper_->SetFullscreen(fullScreen_ && !windowedOnly_);
  helper_->SetWideScreen(wideScreen_);
  helper_->AttachWindow(form_.get());
  helper_->Initialise();
  // The adapter may have fallen back to the primary display.
  displayAdapter_ = static_cast<unsigned>(helper_->Adapter());
  if (form_) form_->Show();
  BringToFront();
}

void TKLDScreen::Close() {
  if (hooks_.Suspend) hooks_.Suspend();
  helper_->Finalise();
  if (form_) form_->Hide();
  modes_.ClearModes();
}

void TKLDScreen::Shutdown() noexcept {
  try {
    helper_->Finalise();
    if (form_) form_->Hide();
  } catch (...) {
  }
}

TKLDDrawBuffer& TKLDScreen::DrawBuffer() { return SharedDrawBuffer(); }
TKLDViewport& TKLDScreen::Viewport() { return ScreenViewport(); }
TKLDCanvas& TKLDScreen::Canvas() { return SharedCanvas(); }

bool TKLDScreen::BeginFrame() { return helper_->BeginFrame(); }
void TKLDScreen::EndFrame() { helper_->EndFrame(); }
void TKLDScreen::PresentFrame() { helper_->PresentFrame(); }

void TKLDScreen::BringToFront() {
  if (form_) form_->BringToFront();
}

bool TKLDScreen::HandleEvent(const SDL_Event& event) { return form_ && form_->HandleEvent(event); }

int TKLDScreen::ScaleX(int x) const { return Scale(x, screenWidth_, designWidth_); }
int TKLDScreen::ScaleY(int y) const { return Scale(y, screenHeight_, designHeight_); }

TKLDDisplayModule::TKLDDisplayModule() {
  screen_ = nullptr;
  helper_ = std::make_unique<TKLDDirectXHelper>();
  SetGlobalDirectXHelper(helper_.get());
  screen_ = std::make_unique<TKLDScreen>(helper_.get());
  SetGlobalScreen(screen_.get());
}

TKLDDisplayModule::~TKLDDisplayModule() {
  SetGlobalScreen(nullptr);
  screen_.reset();
  SetGlobalDirectXHelper(nullptr);
  helper_.reset();
}

}  // namespace lorvane
