#pragma once
// Why a file could not be created or written, in words the operator reads.
#include <QString>

namespace SonivarACQ32 {

// A short French reason for an errno value.
QString raison_erreur(int err);

} // namespace SonivarACQ32
