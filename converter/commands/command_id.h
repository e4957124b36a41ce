// Every command by its own name. The window maps its menu items to these (in app/win32);
// vizorka-cli finds them by their option. Nothing below the window knows a menu number.
#pragma once

namespace vz {

enum class CommandId {
  // The menus.
  kOpen,
  kSave,
  kSaveAs,
  kSavePreview,
  kExit,
  kUndo,
  kRedo,
  kCopy,
  kPaste,
  kScreenCrop,
  kHalveVertically,
  kHalveHorizontally,
  kResize,
  kDither2,
  kDither4,
  kDither16,
  kNearest2,
  kNearest4,
  kNearest16,
  kGrey4,
  kGrey16,
  kGrey256,
  kPalette,
  kTone,
  kSettings,
  kZoomVertically,
  kZoomHorizontally,
  kUnzoomVertically,
  kUnzoomHorizontally,
  kFourfoldSize,
  kNormalSize,
  kFitToWindow,
  kColourSwitch,
  kProperties,
  // Command-line steps: the settings the window's dialogs make, and reports.
  kCrop,
  kAlgorithmFloydSteinberg,
  kAlgorithmOrdered,
  kAlgorithmPerceptual,
  kAlgorithmRefined,
  kPreDistortion,
  kInterlace,
  kColourChoices,
  kThreshold,
  kCodingPlain,
  kCodingRle,
  kFormatKep,
  kFormatSprite,
  kFormatSpriteWithMask,
  kMaskColour,
  kPaletteFile,
  kInfo,
  kExport,
};

}  // namespace vz
