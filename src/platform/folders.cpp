#include "platform/folders.h"

#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace SonivarACQ32::platform {

namespace {

QString key_of(FileKind kind)
{
    switch (kind) {
    case FileKind::recordings: return QStringLiteral("dossiers/enregistrements");
    case FileKind::calibrations: return QStringLiteral("dossiers/etalonnages");
    case FileKind::geometries: return QStringLiteral("dossiers/geometries");
    case FileKind::photos: return QStringLiteral("dossiers/images");
    case FileKind::exports: return QStringLiteral("dossiers/exports");
    }
    return {};
}

QString kept_folder(FileKind kind)
{
    const QString folder = settings()->value(key_of(kind)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

} // namespace

QString folder_for(FileKind kind)
{
    QString folder = kept_folder(kind);
    if (folder.isEmpty() && kind != FileKind::recordings)
        folder = kept_folder(FileKind::recordings);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

void remember_folder(FileKind kind, const QString& path)
{
    if (!path.isEmpty())
        settings()->setValue(key_of(kind), QFileInfo(path).absolutePath());
}

} // namespace SonivarACQ32::platform
