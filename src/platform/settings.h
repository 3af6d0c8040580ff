#pragma once
// What the program keeps between sessions for the operator (where its own
// windows stood): the user's configuration, or a file a test chose.
#include "platform/seam.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

namespace SonivarACQ32::platform {

// The file in force; empty: the user's configuration of the program.
Seam<QString>& settings_file_seam();
std::unique_ptr<QSettings> settings();

// Kept values read back for a window: a number out of its control's range,
// or no number at all (a file edited by hand, or kept by another version),
// is left out and named, so the control keeps its default and the window
// can say so.
class KeptValues {
public:
    explicit KeptValues(const QSettings& settings) : settings_(settings) {}
    // The value of `key` within low..high; nothing when absent or refused.
    std::optional<double> number(const QString& key, double low, double high);
    // A whole number within low..high (a choice's index).
    std::optional<int> index(const QString& key, int low, int high);
    // Names a refused value of `key` (shown without its "window/" prefix).
    void refuse(const QString& key, const QString& value);
    // "Réglages gardés hors limites, …" naming each; empty when none.
    QString report() const;

private:
    const QSettings& settings_;
    QStringList refused_;
};

} // namespace SonivarACQ32::platform
