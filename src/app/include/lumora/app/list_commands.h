// The Track window's commands that are not the download itself.
#pragma once

#include <functional>

#include "lumora/text/text.h"
#include "lumora/controls/controls.h"

namespace lumora {

// Shows the folder chooser and returns the chosen folder (GBK), or "" when
// the user cancelled. UI thread.
using FolderDialog = std::function<Text()>;

// The directories-only dialog titled "选择文件夹", owned by the active window.
Text show_folder_dialog();

// Menu item 取消选中: counter to 0, the feedback text, 全部选中 enabled, every
// row cleared (raising no check event), 取消选中 disabled. UI thread.
void uncheck_all(Controls& controls, CheckedRowCounter& counter);

// Button 设置下载目录: the chosen folder with a trailing "/" goes into the
// folder box; on cancel default_download_folder(program_dir). UI thread.
void choose_download_folder(Controls& controls, const FolderDialog& dialog,
                            const Text& program_dir);

}  // namespace lumora
