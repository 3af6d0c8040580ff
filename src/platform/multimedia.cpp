#include "platform/multimedia.h"

#include <QLoggingCategory>
#include <QtGlobal>

namespace SonivarACQ32::platform {

void prepare_multimedia()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

} // namespace SonivarACQ32::platform
