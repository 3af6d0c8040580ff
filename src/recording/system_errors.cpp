#include "recording/system_errors.h"

#include <cerrno>

namespace SonivarACQ32 {

QString raison_erreur(int err)
{
    switch (err) {
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("support en lecture seule");
    case ENOENT: return QStringLiteral("dossier introuvable");
    case ENOTDIR: return QStringLiteral("un élément du chemin n'est pas un dossier");
    case EISDIR: return QStringLiteral("ce nom est celui d'un dossier");
    case ENOSPC: return QStringLiteral("disque plein");
    case EFBIG: return QStringLiteral("fichier trop grand pour ce système de fichiers");
    case EDQUOT: return QStringLiteral("quota disque dépassé");
    case ENAMETOOLONG: return QStringLiteral("nom trop long");
    case EMFILE:
    case ENFILE: return QStringLiteral("trop de fichiers ouverts");
    case EIO: return QStringLiteral("erreur d'entrée-sortie");
    case 0: return QStringLiteral("erreur inconnue");
    default: return QStringLiteral("erreur système %1").arg(err);
    }
}

} // namespace SonivarACQ32
