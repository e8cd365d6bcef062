// The dialog tool's own interface texts, UTF-8.
#pragma once

namespace hhx::texts {

// The folder browser's title, for the folder to process and for the sound folder alike.
inline constexpr char kFolderBrowserTitle[] = "选择声音文件所在的目录路径：";
// The list-file picker's filter: description|pattern|description|pattern|
inline constexpr char kListFileFilter[] = "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*|";

}  // namespace hhx::texts
