#include "platform/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace SonivarACQ32::platform {
namespace {

class QtDialogs : public Dialogs {
public:
    void alert(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    QString save_file(QWidget* parent, const QString& filter, const QString& folder) override
    {
        QFileDialog dialog(parent);
        if (!folder.isEmpty())
            dialog.setDirectory(folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(QStringLiteral("dat"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

QtDialogs qt_dialogs;
Dialogs* current = &qt_dialogs;

} // namespace

Dialogs& dialogs() { return *current; }

void set_dialogs(Dialogs* replacement) { current = replacement ? replacement : &qt_dialogs; }

} // namespace SonivarACQ32::platform
