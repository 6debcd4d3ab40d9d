#include "render/ScreenForm.h"

#include "render/DirectXHelper.h"

namespace lorvane {

bool TKLDScreenForm::Create(std::string& error) {
  if (window_.Valid()) return true;
  if (!StartVideo(error)) return false;
  if (!window_.Create(Caption, MinimumWidth, MinimumHeight, error)) return false;
  window_.SetMinimumSize(MinimumWidth, MinimumHeight);
  // A living-room interface has no pointer.
  TKLDSdlWindow::HideCursor();
  lastState_ = CurrentState();
  return true;
}

void TKLDScreenForm::SetClientSize(int width, int height) {
  window_.SetClientSize(width, height);
  window_.MoveToDisplay(-1);
}

void TKLDScreenForm::SetFullScreen(bool fullscreen) {
  window_.SetBorderless(fullscreen);
  window_.SetAlwaysOnTop(fullscreen);
  fullScreen_ = fullscreen;
}

void TKLDScreenForm::BringToFront() {
  if (!window_.Valid()) return;
  if (window_.Minimised()) window_.Restore();
  window_.Raise();
}

TKLDWindowState TKLDScreenForm::CurrentState() const {
  if (window_.Minimised()) return TKLDWindowState::Minimised;
  if (window_.Maximised()) return TKLDWindowState::Maximised;
  return TKLDWindowState::Normal;
}

void TKLDScreenForm::WindowStateChanged(TKLDWindowState state) {
  if (state == lastState_) return;
  // The window is the whole application here, so minimising it minimises the application.
  if (state == TKLDWindowState::Minimised) {
    if (hooks_ && hooks_->Suspend) hooks_->Suspend();
  } else if (hooks_ && hooks_->Resume) {
    hooks_->Resume();
  }
  lastState_ = state;
}

bool TKLDScreenForm::HandleEvent(const SDL_Event& event) {
  if (!window_.Valid()) return false;
  TKLDWindowEvent e = TranslateWindowEvent(event, window_.Id());
  switch (e.kind) {
    case TKLDWindowEvent::None: return false;
    case TKLDWindowEvent::Close:
      if (hooks_ && hooks_->CloseRequested) hooks_->CloseRequested();
      return true;
    case TKLDWindowEvent::KeyDown:
      // Tab arrives as a key like any other and carries its character code, 9.
      if (e.Key != 0 && hooks_ && hooks_->KeyDown) hooks_->KeyDown(e.Key);
      return true;
    case TKLDWindowEvent::MouseDown:
      mouseDownX_ = e.X;
      mouseDownY_ = e.Y;
      return true;
    case TKLDWindowEvent::MouseMove:
      // Dragging a windowed interface by its client area.
      if (!fullScreen_ && e.LeftButton && !window_.Maximised()) {
        int x = 0, y = 0;
        window_.Position(x, y);
        window_.Move(x + e.X - mouseDownX_, y + e.Y - mouseDownY_);
      }
      return true;
    case TKLDWindowEvent::Minimised: WindowStateChanged(TKLDWindowState::Minimised); return true;
    case TKLDWindowEvent::Restored: WindowStateChanged(TKLDWindowState::Normal); return true;
    case TKLDWindowEvent::Maximised: WindowStateChanged(TKLDWindowState::Maximised); return true;
    case TKLDWindowEvent::FocusGained:
      if (hooks_ && hooks_->Activate) hooks_->Activate();
      return true;
    case TKLDWindowEvent::FocusLost:
      if (hooks_ && hooks_->Deactivate) hooks_->Deactivate();
      return true;
    case TKLDWindowEvent::Exposed:
      // Whatever the window showed may be gone: the next frame is drawn even if it is unchanged.
      if (TKLDDirectXHelper* dx = DirectXHelper()) dx->ForgetLastFrame();
      return true;
  }
  return false;
}

}  // namespace lorvane
