#pragma once
// The pixel operations of a batch, over ConvertParams: the batch engine, the
// command-line converter and the operation dialogs all run these.
//
// Each operation works on `bitmap` and answers true on success; on success the bitmap
// takes over the result's size and pixels. Every failure (no memory, a target side of 0,
// a size beyond the limits, a bad angle) is caught and answered with false, and the
// bitmap is then exactly as it was.
//
// Stopping: when `stop` is set while an operation runs, the operation returns early and
// still answers true with a partly produced picture (rows or pixels not reached are
// white, or keep their old values under gamma correction, which works in place; a gamma
// correction asked to stop before it starts changes nothing at all). Such a picture is
// told from a finished one through `interrupted`: when given, it is set to true exactly
// when a stop cut the operation short (and to false when the operation ran to its end,
// even if a stop was asked for meanwhile). An unfinished picture must not be written.

#include <functional>

#include "processing/ConvertParams.h"
#include "processing/FitResize.h"
#include "imaging/Bitmap.h"
#include "platform/StopSource.h"

namespace quorvane {

// Called by clsbitmap after each of its three passes with the pause it asks for, in
// milliseconds (50). The batch engine turns it into its pause between steps; an empty
// callback means no pause. The pixel code itself never sleeps.
using PassPause = std::function<void(int milliseconds)>;

// OpCode 1: by Percent, or to TargetWidth x TargetHeight, optionally keeping the
// proportions on BorderColor (letterbox or pillarbox, the odd pixel on the far side).
// With ShrinkOnly nothing grows: a percentage of 100 or more, or a box the picture fits
// in with KeepAspect, leaves it as it is, and a stretched side keeps at most its length.
bool Resizebitmap2(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                   bool* interrupted = nullptr);
// OpCode 2: 90 degrees counter-clockwise.
bool TurnLeftBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                    bool* interrupted = nullptr);
// OpCode 3: 90 degrees clockwise.
bool TurnRightBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                     bool* interrupted = nullptr);
// OpCode 4: mirror left-right.
bool FlipHBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                 bool* interrupted = nullptr);
// OpCode 5: upside down.
bool FlipVBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                 bool* interrupted = nullptr);
// OpCode 7: Contrast, then Brightness, then Saturation, each a full pass. Does not look
// at the stop source (the passes are short); `pause` runs after each pass.
bool clsbitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
               const PassPause& pause = {}, bool* interrupted = nullptr);
// OpCode 9: smooth rotation by RotateAngle about (W div 2, H div 2), same size; the
// corners the turned picture does not reach are white.
bool RotateBitmap(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                  bool* interrupted = nullptr);
// OpCode 12: gamma correction with the exponent 2 - Gamma / 100, in place.
bool GammaCorr(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
               bool* interrupted = nullptr);

// OpCode 14 (opFit): FitBitmapInside in FitResize.h.

// The size a w x h picture gets from a resize (opResize) or fit (opFit) step, as the
// steps above make it; other operations keep the size. {0, 0} when the step would fail
// (a side of 0, a picture beyond the limits).
PictureSize ResultSize(int w, int h, const ConvertParams& params);

// True for the operation codes that have a pixel step (1, 2, 3, 4, 5, 7, 9, 12, 14).
bool OperationHasStep(int opCode);

// Runs the step of params.OpCode; codes without a step (0 convert only, 11 watermark, and
// any unknown code) leave the bitmap alone and answer true. See the note on stopping
// above: a picture with `interrupted` set is not to be written.
// With params.Chain, its steps run in order instead, each by its own rules; a step that
// fails ends the chain with false, and the bitmap then holds the earlier steps' work.
bool RunOperation(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                  const PassPause& pause = {}, bool* interrupted = nullptr);

}  // namespace quorvane
