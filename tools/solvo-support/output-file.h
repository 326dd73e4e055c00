// Output files written whole from memory, every step checked; a failed write leaves behind no
// partial file that this run created.
#ifndef SOLVO_SUPPORT_TOOL_OUTPUT_FILE_H_
#define SOLVO_SUPPORT_TOOL_OUTPUT_FILE_H_

#include <string>
#include <string_view>

namespace solvo_cli {

// The extension of the last component of `path`, lower case with its dot (".ply"); empty when
// it has none.
std::string LowerExtension(const std::string& path);

// Throws InputError "cannot write 'PATH': it is a directory" when `path` names a directory, so
// that a command refuses it before its work rather than after.
void CheckNotDirectory(const std::string& path);

// Writes every byte to `fd`, again after an interrupted or short write. Returns 0, or the errno
// of the write that failed.
int WriteAll(int fd, std::string_view bytes);

// Writes `bytes` to `path`, replacing what a file there held. Throws InputError
// "cannot write 'PATH': <reason>" when opening, any write or closing fails; the file is then
// removed if this call created it as a regular file, and left as it is otherwise (a device such
// as /dev/full, or a file that existed before).
void WriteOutputFile(const std::string& path, std::string_view bytes);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_OUTPUT_FILE_H_
