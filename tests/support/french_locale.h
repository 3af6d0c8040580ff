#pragma once
// The regional settings the tests pin: the operator's messages are checked
// with French separators whatever the machine's settings.
#include "app/format.h"

#include <QLocale>

namespace testsupport {

inline QLocale french_locale() { return QLocale(QLocale::French); }
inline QLocale english_locale() { return QLocale(QLocale::English, QLocale::UnitedStates); }

// English regional settings, as on a lab PC, over ssh or under Xvfb, for the
// scope's life: the system's (Qt's default) and the operator's messages'.
struct EnglishSettings {
    EnglishSettings()
    {
        QLocale::setDefault(english_locale());
        SonivarACQ32::fmt::locale_seam().install(&english_locale);
    }
    ~EnglishSettings()
    {
        QLocale::setDefault(before);
        SonivarACQ32::fmt::locale_seam().install(&french_locale);
    }
    EnglishSettings(const EnglishSettings&) = delete;
    EnglishSettings& operator=(const EnglishSettings&) = delete;
    const QLocale before;
};

} // namespace testsupport
