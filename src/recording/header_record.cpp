#include "recording/header_record.h"

namespace SonivarACQ32 {

type_header_file header_file{};

} // namespace SonivarACQ32
