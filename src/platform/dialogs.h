#pragma once
// The modal alert, the question and the save dialog sit behind one seam: the real Qt boxes
// by default, a recorder in tests so that nothing blocks.
#include "platform/seam.h"

#include <QString>

class QWidget;

namespace SonivarACQ32::platform {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box with one OK button and the warning icon.
    virtual void alert(QWidget* parent, const QString& title, const QString& text) = 0;
    // Save-file dialog with the given filter (Qt's form, "name (*.ext)"),
    // opened in `folder` (the platform's default when empty); asks before
    // replacing an existing file. Returns the chosen path, or an empty
    // string when the operator cancelled.
    virtual QString save_file(QWidget* parent, const QString& filter, const QString& folder) = 0;
    // Modal question with "Oui" and "Non", "Non" the default: true for "Oui".
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The dialogs in force (not owned): Qt's unless a test installed others.
Seam<Dialogs*>& dialogs_seam();
inline Dialogs& dialogs() { return *dialogs_seam().get(); }

} // namespace SonivarACQ32::platform
