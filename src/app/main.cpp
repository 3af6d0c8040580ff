// Program entry: one window and Qt's event loop. On Windows this is the
// program's wWinMain; no argument is used and it always returns 0.
#include "app/principale.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The panel's face is Century Gothic; on systems without it, URW Gothic
    // is the closest free design.
    QFont::insertSubstitution(QStringLiteral("Century Gothic"), QStringLiteral("URW Gothic"));
    auto* window = new SonivarACQ32::Principale;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    app.exec();
    return 0;
}
