#pragma once
// Pictures with text (the spectrum's axes) need Qt's font machinery, which
// lives in a GUI application. The toolkit makes one, off any screen, only
// when a picture is written.
#include <string>

class QImage;

namespace sonivar_dat {

void ensure_picture_context();

// `picture` as a PNG file at `path`: encoded in memory, then written with
// every write checked (a full disk or a size limit fails it, where Qt's own
// save may report a cut file as saved). False with errno set when it fails.
bool write_png(const QImage& picture, const std::string& path);

} // namespace sonivar_dat
