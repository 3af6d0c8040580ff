#pragma once
// The regional settings the tests pin: the operator's messages are checked
// with French separators whatever the machine's settings.
#include <QLocale>

namespace testsupport {

inline QLocale french_locale() { return QLocale(QLocale::French); }

} // namespace testsupport
