#pragma once
// Builders of the fixed controls: each creates one part of the panel with
// its names, texts, fonts, initial states and ranges, at pixel positions in
// the 1062 x 681 client area. Signals are connected by InitializeComponent.
#include <QFont>
#include <QString>

#include <array>

class QPushButton;
class QWidget;

namespace SonivarACQ32 {
class Principale;
}

namespace SonivarACQ32::panel {

constexpr int client_width = 1062;
constexpr int client_height = 681;
constexpr int margin = 12;

// The sampling frequencies as the list shows them, spacing included; the
// index is the one the frequency table uses.
inline const std::array<QString, 17>& frequency_items()
{
    static const std::array<QString, 17> items = {
        QStringLiteral(" 50 000"),    QStringLiteral(" 45 454"),    QStringLiteral(" 41 667"),
        QStringLiteral(" 38 461"),    QStringLiteral(" 35 714"),    QStringLiteral(" 33 333"),
        QStringLiteral(" 31 250   "), QStringLiteral(" 25 000   "), QStringLiteral(" 20 000   "),
        QStringLiteral(" 12 500   "), QStringLiteral(" 10 000   "), QStringLiteral(" 6 250   "),
        QStringLiteral(" 5 000   "),  QStringLiteral(" 4 000   "),  QStringLiteral(" 3 125   "),
        QStringLiteral(" 2 500   "),  QStringLiteral(" 2 000")};
    return items;
}

// The panel's face at the given size; the window itself keeps the
// platform's default font.
QFont gothic(int points, bool bold);

// A button of the panel's face right under `above`, as wide, `height` tall.
QPushButton* button_under(QWidget* parent, const QWidget* above, const QString& text, const char* name, int height);

void build_window(Principale& w);
void build_frequency_and_duration(Principale& w);
void build_start(Principale& w);
void build_recording(Principale& w);
void build_advanced_group(Principale& w);
void build_micros_group(Principale& w);
void build_right_column(Principale& w);
void build_information_pane(Principale& w);

// Only the information pane follows the window's width.
void stretch_information_pane(Principale& w);

} // namespace SonivarACQ32::panel
