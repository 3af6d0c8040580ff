// Program entry: one window and Qt's event loop. On Windows this is the
// program's wWinMain; no argument is used and it always returns 0.
#include "app/cadre_principal.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/multimedia.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    SonivarACQ32::platform::prepare_multimedia();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(SONIVAR_APP_ID));
    // Qt's own texts (the dialogs' buttons and questions, the spin boxes'
    // menus) in French, as every word of the program, whatever the system's
    // language (Debian's qt6-translations-l10n).
    QTranslator qt_texts;
    if (qt_texts.load(SonivarACQ32::fmt::french_locale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qt_texts);
    // The panel's face is Century Gothic; on systems without it, URW Gothic
    // is the closest free design.
    QFont::insertSubstitution(QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"));
    auto* panel = new SonivarACQ32::Principale;
    auto* window = new SonivarACQ32::CadrePrincipal(panel);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    app.exec();
    return 0;
}
