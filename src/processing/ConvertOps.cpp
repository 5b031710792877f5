#include "processing/ConvertOps.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "processing/FitResize.h"
#include "processing/PixelOps.h"

namespace quorvane {

namespace {

// Notes whether an operation ran to its end.
void Report(bool* interrupted, bool completed) {
  if (interrupted) *interrupted = !completed;
}

// Runs `make` to build a new picture from `bitmap`; on success the bitmap takes it over.
// `make` answers false when a stop cut it short. Any exception leaves the bitmap as it
// was and answers false.
template <typename Make>
bool Replace(Bitmap& bitmap, bool* interrupted, Make make) {
  Report(interrupted, true);
  try {
    Bitmap result;
    const bool completed = make(static_cast<const Bitmap&>(bitmap), result);
    bitmap.Swap(result);
    Report(interrupted, completed);
    return true;
  } catch (...) {
    return false;
  }
}

// A new picture of a size given in 64-bit arithmetic; a side of 0 or below, or a size
// beyond the limits, fails. A new picture is white; without a stop source every pixel
// gets written, so the fill is skipped.
Bitmap NewPicture(int64_t width, int64_t height, const StopSource* stop) {
  if (width <= 0 || height <= 0) throw BitmapError("target size is zero");
  if (!Bitmap::SizeAllowed(width, height)) throw BitmapError("target size is too large");
  Bitmap picture(static_cast<int>(width), static_cast<int>(height));
  if (stop) picture.Fill(clWhite);
  return picture;
}

// Copies `inner` onto `outer` with its top-left corner at (x, y); both fit.
void Draw(const Bitmap& inner, Bitmap& outer, int x, int y) {
  for (int row = 0; row < inner.Height(); ++row)
    std::memcpy(outer.ScanLine(y + row) + size_t(x) * 3, inner.ScanLine(row),
                size_t(inner.Width()) * 3);
}

// A resize with ShrinkOnly that would only enlarge a w x h picture: by 100 % or more, or
// to a box the picture fits in already.
bool LeftAsItIs(int64_t w, int64_t h, const ConvertParams& params) {
  if (!params.ShrinkOnly) return false;
  if (!params.FixedSize) return params.Percent >= 100;
  return w <= params.TargetWidth && h <= params.TargetHeight;
}

// The target of a fixed-size resize; with ShrinkOnly a stretched side never grows.
void TargetSides(int64_t w, int64_t h, const ConvertParams& params, int64_t& tw, int64_t& th) {
  tw = params.TargetWidth;
  th = params.TargetHeight;
  if (params.ShrinkOnly && !params.KeepAspect) {
    tw = std::min(tw, w);
    th = std::min(th, h);
  }
}

}  // namespace

PictureSize ResultSize(int w, int h, const ConvertParams& params) {
  if (w <= 0 || h <= 0) return {};
  if (params.OpCode == opFit)
    return FitInside(w, h, params.FitWidth, params.FitHeight, params.ShrinkOnly);
  if (params.OpCode != opResize || LeftAsItIs(w, h, params)) return {w, h};
  int64_t rw = int64_t(w) * params.Percent / 100, rh = int64_t(h) * params.Percent / 100;
  if (params.FixedSize) TargetSides(w, h, params, rw, rh);
  if (rw <= 0 || rh <= 0 || !Bitmap::SizeAllowed(rw, rh)) return {};
  return {int(rw), int(rh)};
}

bool Resizebitmap2(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                   bool* interrupted) {
  if (LeftAsItIs(bitmap.Width(), bitmap.Height(), params) && !bitmap.Empty()) {
    Report(interrupted, true);
    return true;
  }
  return Replace(bitmap, interrupted, [&](const Bitmap& input, Bitmap& out) {
    const int64_t w = input.Width(), h = input.Height();
    if (w <= 0 || h <= 0) throw BitmapError("empty picture");
    if (!params.FixedSize) {
      out = NewPicture(w * params.Percent / 100, h * params.Percent / 100, stop);
      return SmoothResize(input, out, stop);
    }
    int64_t tw = 0, th = 0;
    TargetSides(w, h, params, tw, th);
    out = NewPicture(tw, th, stop);
    const int64_t ratioImage = h * 100 / w;
    const int64_t ratioTarget = th * 100 / tw;
    if (!params.KeepAspect || ratioImage == ratioTarget) return SmoothResize(input, out, stop);
    Bitmap inner;
    int x = 0, y = 0;
    if (ratioImage < ratioTarget) {
      inner = NewPicture(tw, tw * h / w, stop);
      y = int((th - inner.Height()) / 2);
    } else {
      inner = NewPicture(th * w / h, th, stop);
      x = int((tw - inner.Width()) / 2);
    }
    const bool completed = SmoothResize(input, inner, stop);
    out.Fill(params.BorderColor);
    Draw(inner, out, x, y);
    return completed;
  });
}

bool TurnLeftBitmap(Bitmap& bitmap, const ConvertParams&, const StopSource* stop,
                    bool* interrupted) {
  return Replace(bitmap, interrupted,
                 [&](const Bitmap& in, Bitmap& out) { return TurnBitmapLeft(in, out, stop); });
}

bool TurnRightBitmap(Bitmap& bitmap, const ConvertParams&, const StopSource* stop,
                     bool* interrupted) {
  return Replace(bitmap, interrupted,
                 [&](const Bitmap& in, Bitmap& out) { return TurnBitmapRight(in, out, stop); });
}

bool FlipHBitmap(Bitmap& bitmap, const ConvertParams&, const StopSource* stop, bool* interrupted) {
  return Replace(bitmap, interrupted,
                 [&](const Bitmap& in, Bitmap& out) { return MirrorBitmap(in, out, stop); });
}

bool FlipVBitmap(Bitmap& bitmap, const ConvertParams&, const StopSource* stop, bool* interrupted) {
  return Replace(bitmap, interrupted,
                 [&](const Bitmap& in, Bitmap& out) { return FlipBitmap(in, out, stop); });
}

bool clsbitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource*,
               const PassPause& pause, bool* interrupted) {
  Report(interrupted, true);  // the passes always run to their end
  try {
    constexpr int kPauseMs = 50;
    ContrastBitmap(bitmap, params.Contrast);
    if (pause) pause(kPauseMs);
    BrightnessBitmap(bitmap, params.Brightness);
    if (pause) pause(kPauseMs);
    SaturationBitmap(bitmap, params.Saturation);
    if (pause) pause(kPauseMs);
    return true;
  } catch (...) {
    return false;
  }
}

bool RotateBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                  bool* interrupted) {
  return Replace(bitmap, interrupted, [&](const Bitmap& in, Bitmap& out) {
    out.SetSize(in.Width(), in.Height());
    out.Fill(clWhite);  // what the turned picture does not reach stays white
    return SmoothRotate(in, out, in.Width() / 2, in.Height() / 2, params.RotateAngle, stop);
  });
}

bool GammaCorr(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
               bool* interrupted) {
  Report(interrupted, true);
  if (StopRequested(stop)) {
    Report(interrupted, false);
    return true;
  }
  try {
    const long double exponent = 2 - static_cast<long double>(params.Gamma) / 100;
    Report(interrupted, ApplyGammaTable(bitmap, bitmap, stop, exponent));
    return true;
  } catch (...) {
    return false;
  }
}

bool OperationHasStep(int opCode) {
  switch (opCode) {
    case opResize:
    case opTurnLeft:
    case opTurnRight:
    case opFlipH:
    case opFlipV:
    case opColor:
    case opRotate:
    case opGamma:
    case opFit:
      return true;
    default:
      return false;
  }
}

bool RunOperation(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                  const PassPause& pause, bool* interrupted) {
  if (!params.Chain.empty()) {
    Report(interrupted, true);
    for (const ConvertParams& step : params.Chain) {
      bool cut = false;
      if (!RunOperation(bitmap, step, stop, pause, &cut)) return false;
      if (cut) {
        Report(interrupted, false);
        return true;
      }
    }
    return true;
  }
  switch (params.OpCode) {
    case opFit:
      return FitBitmapInside(bitmap, params, stop, interrupted);
    case opResize:
      return Resizebitmap2(bitmap, params, stop, interrupted);
    case opTurnLeft:
      return TurnLeftBitmap(bitmap, params, stop, interrupted);
    case opTurnRight:
      return TurnRightBitmap(bitmap, params, stop, interrupted);
    case opFlipH:
      return FlipHBitmap(bitmap, params, stop, interrupted);
    case opFlipV:
      return FlipVBitmap(bitmap, params, stop, interrupted);
    case opColor:
      return clsbitmap(bitmap, params, stop, pause, interrupted);
    case opRotate:
      return RotateBitmap(bitmap, params, stop, interrupted);
    case opGamma:
      return GammaCorr(bitmap, params, stop, interrupted);
    default:
      Report(interrupted, true);
      return true;
  }
}

}  // namespace quorvane
