#pragma once
// Number formats of the operator's messages and of the description file, in
// the operator's regional settings: N (grouped, fixed decimals), G (general:
// plain digits for whole numbers) and D (zero-padded integers).
#include "platform/seam.h"

#include <QLocale>
#include <QString>

#include <cstdint>

namespace SonivarACQ32::fmt {

// The regional settings in force: the system's unless a test installed a
// source of others.
using LocaleSource = QLocale (*)();
platform::Seam<LocaleSource>& locale_seam();
inline QLocale locale() { return locale_seam().get()(); }

// {0:N<decimals>}: group separators and exactly `decimals` decimals.
QString N(double value, int decimals);
// {0:G} and {0}: whole numbers as plain digits, others in their shortest form.
QString G(std::int64_t value);
QString G(std::uint64_t value);
QString G(double value);
inline QString G(int value) { return G(static_cast<std::int64_t>(value)); }
inline QString G(unsigned value) { return G(static_cast<std::uint64_t>(value)); }
inline QString G(float value) { return G(static_cast<double>(value)); }
// {0:D<width>}: an integer padded with zeros to `width` digits.
QString D(std::int64_t value, int width);

// The windows this program adds to the operator's (the map, the spectrum,
// the calibration, their pictures) write French numbers whatever the
// system's settings, as their words are French: a decimal comma, thousands
// apart. Their spin boxes read and write numbers in this locale.
QLocale french_locale();
QString fr(double value, int decimals);

} // namespace SonivarACQ32::fmt
