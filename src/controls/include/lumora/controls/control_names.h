// The layout's control names, one constant each: the windows name their
// widgets with them and every caller addresses a control through them.
// A name is unique within its window, not across windows.
#pragma once

#include "lumora/controls/controls.h"

namespace lumora {

// Main window.
inline constexpr ControlName kTitlePicture = u8"图片框1";  // dragging it moves the window
inline constexpr ControlName kTitleLabel = u8"透明标签1";
inline constexpr ControlName kCloseButton = u8"解析1";
inline constexpr ControlName kLeftFramePicture = u8"图片框2";
inline constexpr ControlName kRightFramePicture = u8"图片框3";
inline constexpr ControlName kBottomFramePicture = u8"图片框4";
inline constexpr ControlName kKeywordBox = u8"编辑框1";
inline constexpr ControlName kMagnifierPicture = u8"图片框6";
inline constexpr ControlName kSearchButton = u8"解析";
inline constexpr ControlName kAlbumListHolder = u8"图片框5";
// The decorative strip along the bottom edge: two holders of five frames
// each, and three frames of their own between them (left to right).
inline constexpr ControlName kLeftStripHolder = u8"图片框12";
inline constexpr ControlName kLeftStripFrames[] = {u8"图片框8", u8"图片框9", u8"图片框10",
                                                   u8"图片框11", u8"图片框13"};
inline constexpr ControlName kMiddleStripFrames[] = {u8"图片框19", u8"图片框21", u8"图片框20"};
inline constexpr ControlName kRightStripHolder = u8"图片框7";
inline constexpr ControlName kRightStripFrames[] = {u8"图片框18", u8"图片框17", u8"图片框16",
                                                    u8"图片框15", u8"图片框14"};

// Both windows: the Album list in the Main window, the Track list in the
// Track window.
inline constexpr ControlName kList = u8"超级列表框1";

// Track window.
inline constexpr ControlName kStatusBar = u8"状态条1";
inline constexpr ControlName kFolderBox = u8"编辑框_下载目录";
inline constexpr ControlName kFolderButton = u8"按钮1";
inline constexpr ControlName kStartButton = u8"按钮_开始下载";
inline constexpr ControlName kStopButton = u8"按钮_停止下载";
inline constexpr ControlName kMenu = u8"右键菜单";
inline constexpr ControlName kCheckAllItem = u8"全部选中";
inline constexpr ControlName kUncheckAllItem = u8"取消选中";

}  // namespace lumora
