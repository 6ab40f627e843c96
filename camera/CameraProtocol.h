#pragma once
// The camera's command protocol: the 8-byte control and read commands, the full-frame and window
// readouts into the image store, and the window-exposure sequences of focus mode and guiding.
#include <cstdint>

#include "camera/Camera.h"
#include "core/ImageStore.h"

namespace nyxel {

// Control codes (byte 1 of a control command).
inline constexpr int kControlStartIntegration = 1;
inline constexpr int kControlClear = 2;
inline constexpr int kControlEndIntegration = 3;
inline constexpr int kControlEndGuided = 4;
inline constexpr int kControlEndGuidedSecondHalf = 5;

// The camera's raw line layout: 298 lines of 576 16-bit pixels; the picture starts at line 7, pixel 19.
inline constexpr int kSensorLines = 298;
inline constexpr int kSensorLinePixels = 576;
inline constexpr uint32_t kSensorLineBytes = 1152;
inline constexpr uint32_t kFullFrameReadLength = 343296;
inline constexpr uint32_t kFullFrameImageStart = 8102;
inline constexpr int kFullFrameCopyPixels = 510;  // columns 510 and 511 of the frame keep their contents
inline constexpr uint32_t kWindowReadLength = 32768;
// Shorter exposures are timed by the camera from the read command; longer ones by the host.
inline constexpr int kCameraTimedBelowMs = 500;
// Host waits longer than this keep sending clear while they wait.
inline constexpr int kClearWhileWaitingAboveMs = 600;

// Clears the command block, sets bytes 0 and 1 (2, code) and sends it.
void SendControl(Camera& camera, int code);

// Exposure in milliseconds from the dialog's unit letter ('q', 'h', 't', 's', 'm') and value. Without
// minutes (the window exposures) 'm' counts as seconds.
int ExposureFromUnit(char unit, int value, bool minutes_allowed);

// Bytes 1 and 2 of a read command: the exposure when the camera times it, else 0, 0.
void SetExposureBytes(Camera& camera, int exposure_ms);
// Bytes 3..7 of a window read command from FocusWindowX and FocusWindowY.
void SetWindowBytes(Camera& camera);

// Reads a full frame (exposure bytes from ExposureMs) into `dest`: 290 rows of 510 pixels. False when
// the read failed (the error has been shown): `dest` then keeps its previous picture, since stale
// buffer contents are no image.
bool ReadFullFrame(Camera& camera, Frame& dest);
// Reads the 128 x 128 window into the first 16,384 elements of `dest`; the read command carries
// `exposure_ms` (ExposureMs for the other overload). False, and `dest` untouched, when the read failed.
bool ReadWindow(Camera& camera, Frame& dest, int exposure_ms);
inline bool ReadWindow(Camera& camera, Frame& dest) {
  return ReadWindow(camera, dest, camera.ExposureMs);
}

// Waits out a host-timed exposure on the clock (nothing below 500 ms), sending clear on every turn of
// the wait when the exposure is longer than 600 ms. Does not look at the message queue.
void HostWait(Camera& camera, int exposure_ms);

// Brightest value / 4 of the window that is at least two rows tall, so a single hot pixel never counts.
int WindowMaximum(const Frame& window);
// Scales the window to 16 bits for the display unless the max palette is on for all images or the
// camera already gives 16 bits.
void PaletteStretchWindow(const ImageStore& store, Frame& window);

// TakeFocusFrame's result when the window could not be read (the error has been shown).
inline constexpr int kWindowReadFailed = -1;

struct StarSize;  // camera/FocusMeasure.h

// Focus mode's frame: exposes and reads the window into CurrentFrame; returns the "Max Value". With
// `size`, the brightest star's size is measured too, before the palette stretch.
int TakeFocusFrame(Camera& camera, ImageStore& store, char unit, int value, StarSize* size = nullptr);
// Training and stand-alone guiding: as the focus frame without the maximum. False when the read failed.
bool TakeGuideFrame(Camera& camera, ImageStore& store, char unit, int value);
// One guide window during a self-guided exposure; the main integration runs on undisturbed.
bool TakeGuidingFrame(Camera& camera, ImageStore& store, int guiding_exposure_ms);

}  // namespace nyxel
