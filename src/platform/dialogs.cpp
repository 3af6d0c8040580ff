#include "platform/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace SonivarACQ32::platform {
namespace {

class QtDialogs : public Dialogs {
public:
    void alert(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool question(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
        box.setDefaultButton(no);
        box.exec();
        return box.clickedButton() == yes;
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

} // namespace

Seam<Dialogs*>& dialogs_seam()
{
    static QtDialogs qt_dialogs;
    static Seam<Dialogs*> seam(&qt_dialogs);
    return seam;
}

} // namespace SonivarACQ32::platform
