#pragma once

#include <QString>

namespace platform {

// Toolkit dialogs hand back paths decoded lossily: a byte that is not UTF-8 becomes U+FFFD, so the
// text names no file. This finds the existing path whose lossy reading is path, level by level, and
// returns it in the lossless form (decodeFileName) that reaches those bytes again. A path that
// exists as it stands, or whose reading is not unique, comes back unchanged.
QString recoverLossyPath(const QString& path);

} // namespace platform
