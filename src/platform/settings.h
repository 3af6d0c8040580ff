#pragma once
// What the program keeps between sessions for the operator (where its own
// windows stood): the user's configuration, or a file a test chose.
#include "platform/seam.h"

#include <QString>

#include <memory>

class QSettings;

namespace SonivarACQ32::platform {

// The file in force; empty: the user's configuration of the program.
Seam<QString>& settings_file_seam();
std::unique_ptr<QSettings> settings();

} // namespace SonivarACQ32::platform
