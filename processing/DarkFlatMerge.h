#pragma once
// Frame arithmetic with a second image: dark-frame subtraction, flat fielding and the two-image merge.
#include <string>
#include <string_view>

#include "core/Host.h"
#include "core/ImageStore.h"
#include "files/Session.h"

namespace nyxel {

inline constexpr std::string_view kFlatFieldProgressCaption = "FLAT FIELD PROGRESS";
inline constexpr std::string_view kDarkFrameHistoryLine = "Dark Frame Subtracted";
inline constexpr std::string_view kFlatFieldHistoryLine = "Flat Field Subtracted";
// The file dialog's filter list of the dark and flat commands.
inline constexpr std::string_view kCombineFileFilter =
    "Halvorn (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|";

inline constexpr int kMessageMergeGeometry = 30;
inline constexpr int kMessageAlreadyMerging = 31;

// CombineMode: which disk command the shared file command runs.
inline constexpr char kCombineDark = 's';
inline constexpr char kCombineFlat = 'f';

// CurrentFrame minus the dark frame held in SecondFrame, never below 0; pixels of 65500 and above stay.
// Adds the history line; the colour planes are not touched.
void SubtractDarkFrame(ImageStore& store);

// CurrentFrame divided by the flat field held in SecondFrame, scaled by the flat's level; columns 0..4
// and 510..511, row 0 (rows 0..10 of a labelled frame), zero flat pixels and pixels of 65534 and above
// stay. Shows the progress window and adds the history line.
void ApplyFlatField(ImageStore& store, Host& host);

// The dark or flat command after its file dialog: loads `path` into SecondFrame (the loader shows its own
// message on failure and the image stays as it was), copies the image for undo, runs the operation.
// Returns 0 or the loader's failure code; the caller refreshes the picture after a success.
int CombineWithFile(Session& session, char combine_mode, const std::string& path);

// ---- Merging. The state lives in the store (MergeMode, MergeFirstPhase, ...). ----

// Menu "Merge two images together": refuses in RV geometry or fitted to the window (message 30) and
// while merging (message 31); otherwise starts the first phase. Returns true when merging started.
bool StartMerge(ImageStore& store, Host& host);

// A left click at image position (x, y) while merging. Returns false when it is ignored (not merging,
// or outside the area `radius` from the edges). With MergeCentreOnStar the point is first moved onto the
// star (up to three centre searches); `moved_x`/`moved_y` receive how far, for the mouse pointer.
bool MarkMergePoint(ImageStore& store, Host& host, int x, int y, int radius, int& moved_x, int& moved_y);

// File/Open while merging, before the file is loaded: the first image and (when colour) its planes are
// kept in SecondFrame and the undo planes, and the second phase starts.
void OpenMergeImage(ImageStore& store);

// The dialog's "Merge" button: does nothing and returns false while the first phase lasts; otherwise
// ends merging and merges. The caller closes the dialog and refreshes.
bool PressMerge(ImageStore& store);

// The dialog's "Cancel": merging ends, images unchanged.
void CancelMerge(ImageStore& store);

// Adds (or averages) the first image (SecondFrame, undo planes) and the current image aligned on the two
// marks, into CurrentFrame and the planes.
void MergeImages(ImageStore& store);

}  // namespace nyxel
