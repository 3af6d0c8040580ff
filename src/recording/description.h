#pragma once
// The description file ".log" of a recording: an INI-like text of 153 lines
// built from the header record, the channel counts and the comment. Every
// line ends with CR LF; some literals carry bare line feeds of their own,
// which stay as they are.
#include "recording/header_record.h"

#include <QLocale>
#include <QString>

#include <cstdint>

namespace SonivarACQ32 {

constexpr int lignes_description = 153;

// The whole text, numbers in `locale` (the operator's regional settings).
QString description_text(const type_header_file& header, std::int32_t nb_voies,
                         std::int32_t nb_micros, const QString& commentaire,
                         const QLocale& locale);

} // namespace SonivarACQ32
