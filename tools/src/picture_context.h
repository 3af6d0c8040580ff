#pragma once
// Pictures with text (the spectrum's axes) need Qt's font machinery, which
// lives in a GUI application. The toolkit makes one, off any screen, only
// when a picture is written.
namespace sonivar_dat {

void ensure_picture_context();

} // namespace sonivar_dat
