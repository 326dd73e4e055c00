// Mesh simplification through the library, with its progress shown on the terminal.
#ifndef SOLVO_SUPPORT_TOOL_SIMPLIFY_PROGRESS_H_
#define SOLVO_SUPPORT_TOOL_SIMPLIFY_PROGRESS_H_

#include <cstdint>

#include "records.h"

namespace solvo_cli {

// Simplifies `input` to at most `target_faces` triangles into `output` (an empty record). With
// `show_progress`, a work that lasts longer than half a second keeps one line on standard error
// up to date (only when standard error is a terminal). Throws InputError when the library fails.
void SimplifyShowingProgress(const SolvoMesh_Experimental& input, uint32_t target_faces,
                             bool show_progress, MeshRecord* output);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_SIMPLIFY_PROGRESS_H_
