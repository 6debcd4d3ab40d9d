#include "render/Graphic.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "platform/PixbufImage.h"
#include "render/Screen.h"

namespace lorvane {

namespace {

const char* const kMsgLoadFailed = "Failed to load image: ";
const char* const kMsgRelock = "Attempted to relock previously locked GDI graphic for direct access";
const char* const kMsgLockFailed = "Failed to lock GDI graphic for direct access: ";

std::optional<uint32_t> TintValue(const TKLDCanvasColour* tint) {
  if (!tint) return std::nullopt;
  return tint->Value();
}

int ScaleWidth(int width) {
  TKLDScreen* screen = Screen();
  return screen ? screen->ScaleX(width) : width;
}

int ScaleHeight(int height) {
  TKLDScreen* screen = Screen();
  return screen ? screen->ScaleY(height) : height;
}

}  // namespace

TKLDGraphic::TKLDGraphic() = default;

TKLDGraphic::~TKLDGraphic() = default;

void TKLDGraphic::SetRequestedWidth(int width) {
  if (width == requestedWidth_) return;
  requestedWidth_ = width;
  Invalidate();
}

void TKLDGraphic::SetRequestedHeight(int height) {
  if (height == requestedHeight_) return;
  requestedHeight_ = height;
  Invalidate();
}

void TKLDGraphic::FreeDeviceCopies() {
  sprite_.reset();
  surface_.reset();
}

void TKLDGraphic::Invalidate() {
  loaded_ = false;
  FreeDeviceCopies();
}

// The size to decode to, worked out before decoding so that JPEG can shrink as it decodes.
void TKLDGraphic::ChooseSize(int naturalWidth, int naturalHeight, int& width,
                             int& height) const {
  if (fitWidth_ > 0 && fitHeight_ > 0) {
    // Never larger than the file holds: the slideshow resamples to its fitted size itself.
    const double f = std::min({1.0, double(fitWidth_) / naturalWidth,
                               double(fitHeight_) / naturalHeight});
    width = std::max(1, static_cast<int>(std::lround(naturalWidth * f)));
    height = std::max(1, static_cast<int>(std::lround(naturalHeight * f)));
    return;
  }
  const bool requested = requestedWidth_ > 0 && requestedHeight_ > 0;
  if (requested && stretch_) {
    width = requestedWidth_;
    height = requestedHeight_;
    return;
  }
  width = ScaleWidth(naturalWidth);
  height = ScaleHeight(naturalHeight);
  if (requested && width > 0 && height > 0) {
    // Drawn at the requested size, so nothing beyond what covers it needs decoding.
    const double f = std::max(double(requestedWidth_) / width, double(requestedHeight_) / height);
    if (f < 1.0) {
      width = std::max(1, static_cast<int>(std::ceil(width * f)));
      height = std::max(1, static_cast<int>(std::ceil(height * f)));
    }
  }
}

bool TKLDGraphic::LoadFromFile(const std::string& name) {
  // A call without a name reloads the current file; it is refused only when that file is the
  // one that failed, so a picture invalidated by a new requested size can load again even after
  // some other file failed.
  const std::string target = name.empty() ? fileName_ : name;
  if (target.empty()) return false;
  if (!failedFileName_.empty() && target == failedFileName_) return false;
  if (loaded_ && target == fileName_) return true;

  loaded_ = false;
  if (locked_) UnlockBits();
  image_.reset();
  FreeDeviceCopies();
  fileName_ = target;

  std::string error;
  auto image = TKLDPixbufImage::Load(
      fileName_,
      [this](int nw, int nh, int& w, int& h) { ChooseSize(nw, nh, w, h); }, error);
  if (!image || image->Width() <= 0 || image->Height() <= 0) {
    // A type no loader reads was told once at start.
    if (TKLDPixbufImage::HasUndecodableExtension(fileName_)) LogDebug(std::string(kMsgLoadFailed) + fileName_);
    else LogWarn(std::string(kMsgLoadFailed) + fileName_);
    if (!error.empty()) LogDebug("Image decoder: " + error);
    failedFileName_ = fileName_;
    actualWidth_ = actualHeight_ = 0;
    return false;
  }
  image_ = std::move(image);
  actualWidth_ = image_->Width();
  actualHeight_ = image_->Height();
  if (requestedWidth_ > 0 && requestedHeight_ > 0 && !stretch_) {
    requestedWidth_ = std::min(requestedWidth_, actualWidth_);
    requestedHeight_ = std::min(requestedHeight_, actualHeight_);
  }
  loaded_ = true;
  return true;
}

void TKLDGraphic::AdoptImage(std::unique_ptr<TKLDPixbufImage> image, const std::string& fileName) {
  if (locked_) UnlockBits();
  FreeDeviceCopies();
  fileName_ = fileName;
  if (!image || image->Width() <= 0 || image->Height() <= 0) {
    image_.reset();
    loaded_ = false;
    actualWidth_ = actualHeight_ = 0;
    return;
  }
  image_ = std::move(image);
  actualWidth_ = image_->Width();
  actualHeight_ = image_->Height();
  loaded_ = true;
}

void TKLDGraphic::Assign(const TKLDGraphic* other) {
  if (!other) return;
  requestedWidth_ = other->requestedWidth_;
  requestedHeight_ = other->requestedHeight_;
  stretch_ = other->stretch_;
  fitWidth_ = other->fitWidth_;
  fitHeight_ = other->fitHeight_;
  fileName_.clear();
  loaded_ = false;
  LoadFromFile(other->fileName_);
}

void TKLDGraphic::Resize(int width, int height) {
  if (!image_ || (width == actualWidth_ && height == actualHeight_)) return;
  if (locked_) UnlockBits();
  auto scaled = image_->Scaled(width, height);
  if (!scaled) {
    LogWarn(std::string(kMsgLoadFailed) + fileName_);
    LogDebug("Could not resample to " + std::to_string(width) + " x " + std::to_string(height));
    return;
  }
  image_ = std::move(scaled);
  actualWidth_ = width;
  actualHeight_ = height;
  FreeDeviceCopies();
}

bool TKLDGraphic::LockBits(TKLDBitmapDescription& description) {
  if (!image_) return false;
  if (locked_) {
    LogError(kMsgRelock);
    return false;
  }
  const bool writeAccess = description.WriteAccess;
  description = TKLDBitmapDescription{};
  description.WriteAccess = writeAccess;
  const size_t stride = static_cast<size_t>(actualWidth_) * 4;
  if (!lockPixels_.Acquire(stride * static_cast<size_t>(actualHeight_))) {
    LogWarn(std::string(kMsgLockFailed) + "3");  // out of memory
    return false;
  }
  image_->ToBGRA(lockPixels_.Data(), static_cast<int>(stride));
  locked_ = true;
  lockWrite_ = writeAccess;
  description.Width = actualWidth_;
  description.Height = actualHeight_;
  description.Stride = static_cast<int>(stride);
  description.BytesPerPixel = 4;
  description.Bits = lockPixels_.Data();
  description.Premultiplied = false;
  return true;
}

void TKLDGraphic::UnlockBits() {
  if (locked_ && lockWrite_ && image_) {
    auto changed = TKLDPixbufImage::FromBGRA(actualWidth_, actualHeight_, lockPixels_.Data(),
                                             actualWidth_ * 4);
    if (changed) {
      image_ = std::move(changed);
      FreeDeviceCopies();
    }
  }
  locked_ = false;
  lockWrite_ = false;
  lockPixels_.Release();
}

void TKLDGraphic::RenderSprite(const TKLDDXRect& source, const TKLDDXRect& dest, float angle,
                               bool flipVertical, bool flipHorizontal,
                               const TKLDCanvasColour* tint) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!image_ || !helper) return;
  if (!sprite_) {
    // The texture holds the whole picture, whatever size it is drawn at.
    sprite_ = helper->SpriteManager().CreateSprite(actualWidth_, actualHeight_);
    if (!sprite_) return;
  }
  if (!sprite_->CreationAttempted()) {
    // Without the pixels (the picture is locked elsewhere) nothing is drawn this time: drawing
    // would create an empty texture that no later frame fills.
    TKLDBitmapDescription bits;
    if (!LockBits(bits)) return;
    helper->SpriteManager().UploadBits(sprite_.get(), bits);
    UnlockBits();
  }
  helper->RenderSprite(sprite_.get(), source, angle, flipVertical, flipHorizontal,
                       TintValue(tint), dest);
}

void TKLDGraphic::RenderSurface(const TKLDRect& rect) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!image_ || !helper) return;
  if (!surface_) {
    surface_ = helper->SurfaceManager().CreateSurface(actualWidth_, actualHeight_);
    if (!surface_) return;
  }
  if (!surface_->CreationAttempted()) {
    TKLDBitmapDescription bits;
    if (!LockBits(bits)) return;  // as for the sprite: no empty surface
    helper->SurfaceManager().UploadBits(surface_.get(), bits);
    UnlockBits();
  }
  helper->RenderSurface(surface_.get(), {rect.X, rect.Y, rect.Right(), rect.Bottom()});
}

}  // namespace lorvane
